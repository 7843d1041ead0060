#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QVariantList>
#include <QVariantMap>

// The purchase service names an order's fields loosely and types them loosely (numbers as text, the
// price under one of several keys). Orders are brought into one shape here, once, as they arrive, so
// the screens read fixed keys of fixed types.
namespace nimbra::purchase {

// An order with exactly these keys:
//   order_id, product_id, member_count, created_at, expire_at, paid_at, group_id, team_id (numbers;
//   0 when unknown),
//   order_price (number: amount.order_price, pay_amount, order_price or price, the first given),
//   order_no, product_type (lower case), product_name, node_type_key, region_key, package_name,
//   game_name, payment_status, order_status,
//   status, status_text, group_status, team_code, team_type (trimmed text; "" when unknown),
//   can_pay, can_cancel, is_group (bools; a group order by its type or by any group field),
//   group (the map of the order's group or team, as sent; empty when it has none).
QVariantMap normalizeOrder(const QJsonObject &order);
// Each element of `orders` that is a map, normalised; anything else is left out.
QVariantList normalizeOrders(const QJsonArray &orders);

// The WeChat payment of an order with exactly these keys:
//   order_id, expire_at (numbers; expire_at from the payment, else its wechat member; 0 when unknown),
//   order_price (number: amount.order_price; 0 when the payment names no price),
//   payment_status, code_url (trimmed text; code_url from the wechat member).
QVariantMap normalizePayment(const QJsonObject &payment);

} // namespace nimbra::purchase
