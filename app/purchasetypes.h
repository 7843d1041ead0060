#pragma once

// Compiled into the QML module Nimbra: the membership page's parts, made by the purchase client in the
// back-end library, named so views can take them (`required property PurchaseSelection selection`).

#include "purchase/groupdetail.h"
#include "purchase/grouppurchase.h"
#include "purchase/leadercentre.h"
#include "purchase/purchaseselection.h"

#include <QtQml/qqmlregistration.h>

struct PurchaseSelectionType
{
    Q_GADGET
    QML_FOREIGN(PurchaseSelection)
    QML_NAMED_ELEMENT(PurchaseSelection)
    QML_UNCREATABLE("The purchase client makes the page's choice.")
};

struct GroupPurchaseType
{
    Q_GADGET
    QML_FOREIGN(GroupPurchase)
    QML_NAMED_ELEMENT(GroupPurchase)
    QML_UNCREATABLE("The purchase client makes the page's group buying.")
};

// Made in QML only by the screenshot scenes and tests, which show the centre without a client.
struct LeaderCentreType
{
    Q_GADGET
    QML_FOREIGN(LeaderCentre)
    QML_NAMED_ELEMENT(LeaderCentre)
};

// Made by the group detail pane for the group it shows.
struct GroupDetailType
{
    Q_GADGET
    QML_FOREIGN(GroupDetail)
    QML_NAMED_ELEMENT(GroupDetail)
};
