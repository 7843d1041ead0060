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
//   price_fen (whole fen: amount.order_price, pay_amount, order_price or price, the first given),
//   price_text (price_fen as shown),
//   order_no, product_type (lower case), product_name, node_type_key, region_key, package_name,
//   game_name, payment_status, order_status,
//   status, status_text, group_status, team_code, team_type (trimmed text; "" when unknown),
//   payment_status_text (paymentStatusText of payment_status),
//   can_pay, can_cancel, is_group (bools; a group order by its type or by any group field),
//   group (the map of the order's group or team, as sent; empty when it has none).
QVariantMap normalizeOrder(const QJsonObject &order);
// The wording of an order's payment_status: "已支付", "待支付", ...; a code without one reads "处理中"
// (a text already written for people, in Chinese, stays), an empty one "未知状态".
QString paymentStatusText(const QString &status);
// Each element of `orders` that is a map, normalised; anything else is left out.
QVariantList normalizeOrders(const QJsonArray &orders);

// The WeChat payment of an order with exactly these keys:
//   order_id, expire_at (numbers; expire_at from the payment, else its wechat member; 0 when unknown),
//   price_fen (whole fen: amount.order_price; 0 when the payment names no price),
//   payment_status, code_url (trimmed text; code_url from the wechat member).
QVariantMap normalizePayment(const QJsonObject &payment);

// A member of a team with exactly these keys:
//   nickname (trimmed text), display_name (nickname, name or user_name: who the member is),
//   game_name (name, title, game_name or package_name: the game the member holds), status_text,
//   pay_status, status (trimmed text; "" when unknown), has_game (bool: any game field given).
QVariantMap normalizeMember(const QJsonObject &member);

// A team (of the leader centre, the join panel or a group detail) as sent, with these keys always
// present and of these types:
//   team_id, group_id (numbers; group_id else id), member_count (seats: member_count, capacity,
//   max_members, required_members or team_size), paid_member_count (paid_member_count, paid_members,
//   current_members, joined_count or member_count_current) (numbers; 0 when unknown),
//   price_fen (whole fen: the seat price, amount.order_price, pay_amount, order_price, price,
//   member_price or seat_price, the first above 0), price_text (price_fen as shown),
//   team_code, name (name or title), node_type_name (node_type_name, node_name or node_type_key),
//   region_name, region_key, status_label (status_label or status_text), status (group_status,
//   status, team_status or waiting_status), team_type (lower case) (trimmed text; "" when unknown),
//   members (list of normalised members), games (available_games else games, as choices {value: text,
//   text: text (name, title, game_name or label; "" when none), available: bool}), join_payload (map:
//   join_payload else order_payload; empty when none).
QVariantMap normalizeTeam(const QJsonObject &team);

// The leader centre's entry as sent, with these keys always present and of these types:
//   is_leader (bool: true only when sent as true),
//   node_types (list of lines), member_counts (list of sizes): choices, each a map with value (its
//   id, or key, as text) and text (its name) and, for a map, its own members as sent; a line also has
//   node_type_id (number) and regions (list of choices),
//   price_map (map of price items by "line_region_size"; empty when none).
QVariantMap normalizeLeaderEntry(const QJsonObject &entry);

} // namespace nimbra::purchase
