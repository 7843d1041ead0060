// A person's hands on the main window: clicks on what is shown, keys typed into whatever has the focus.
#pragma once

#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QTest>

// A delegate of a list or grid view that the view has not placed yet: made off the view's request
// (asynchronously inside a page that loads so), it exists with its texts, but until the view lays it
// out it is neither drawn nor given input.
inline bool unplacedDelegate(const QQuickItem *item)
{
    const QQuickItem *content = item->parentItem();
    QQuickItem *view = content ? content->parentItem() : nullptr;
    const QVariant index = item->property("index");
    if (!view || !index.isValid() || view->metaObject()->indexOfMethod("itemAtIndex(int)") < 0)
        return false;
    QQuickItem *placed = nullptr;
    QMetaObject::invokeMethod(view, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, placed),
                              Q_ARG(int, index.toInt()));
    return placed != item;
}

inline bool shown(const QQuickItem *item)
{
    for (; item; item = item->parentItem()) {
        if (!item->isVisible() || item->opacity() <= 0 || unplacedDelegate(item))
            return false;
    }
    return true;
}

// The last shown item under root (in painting order, so the topmost of equals) whose objectName or
// visible text is the given one.
inline QQuickItem *findShown(QQuickItem *root, const QString &nameOrText)
{
    QQuickItem *found = nullptr;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *inner = findShown(child, nameOrText))
            found = inner;
    }
    if (!found && (root->objectName() == nameOrText || root->property("text").toString() == nameOrText) &&
        shown(root))
        found = root;
    return found;
}

// A person's click on what they see: the centre of the item, wherever the window shows it.
inline bool click(QQuickWindow *window, QQuickItem *root, const QString &nameOrText)
{
    QQuickItem *item = findShown(root, nameOrText);
    if (!item) {
        qWarning("nothing shown reads %s", qPrintable(nameOrText));
        return false;
    }
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

// Typing on the keyboard into whatever has the focus (digits and Latin letters).
inline void typeText(QWindow *window, const QString &text)
{
    for (const QChar ch : text)
        QTest::keyClick(window, ch.toLatin1());
}
