// The texts of a membership record, whichever of its loose field names the service used.
#include "purchase/membershiptexts.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

// JSON written with single quotes, which keeps the rows readable inside C++ strings.
QVariantMap map(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).object().toVariantMap();
}

// 2027-01-01 00:00 UTC, as the local date the texts show.
constexpr qint64 kExpiry = 1798675200;
const QString kDay = QDateTime::fromSecsSinceEpoch(kExpiry).toString(QStringLiteral("yyyy-MM-dd"));

} // namespace

class TestMembershipTexts : public QObject
{
    Q_OBJECT

private slots:
    void typeText_data()
    {
        QTest::addColumn<QVariantMap>("membership");
        QTest::addColumn<QString>("expected");
        QTest::newRow("vip_num, capitals") << map("{'vip_num': 3, 'vip_type': 'SHARED'}") << "共享会员";
        QTest::newRow("punctuation") << map("{'is_vip': true, 'vip_type': ' Private! '}") << "独享会员";
        QTest::newRow("spaced CJK") << map("{'active': true, 'plan_type': '拼 团'}") << "拼团会员";
        QTest::newRow("status enabled") << map("{'status': 'enabled', 'type': 'Monthly'}") << "月卡会员";
        QTest::newRow("vipNum") << map("{'vipNum': 1, 'plan_name': '季卡'}") << "季卡会员";
        QTest::newRow("vip_num as text") << map("{'vip_num': '2', 'product_name': 'Annual'}") << "年卡会员";
        QTest::newRow("first truthy key")
            << map("{'is_vip': true, 'vip_type': '', 'member_type': 'Gold-Plus 2'}") << "goldplus2";
        QTest::newRow("no name") << map("{'is_vip': true}") << "尊享会员";
        QTest::newRow("nothing left of the name") << map("{'is_vip': true, 'vip_type': '★'}") << "尊享会员";
        QTest::newRow("vip_num 0 wins over vipNum")
            << map("{'vip_num': 0, 'vipNum': 4, 'vip_type': 'shared'}") << "";
        QTest::newRow("expired") << map("{'vip_num': '0', 'status': 'expired', 'vip_type': 'shared'}") << "";
        QTest::newRow("none") << QVariantMap() << "";
    }
    void typeText()
    {
        QFETCH(QVariantMap, membership);
        QFETCH(QString, expected);
        QCOMPARE(nimbra::purchase::membershipTypeText(membership), expected);
    }

    void expiryText_data()
    {
        QTest::addColumn<QVariantMap>("membership");
        QTest::addColumn<QString>("expiry");
        QTest::addColumn<QString>("description");
        const QString at = kDay + QStringLiteral(" 到期");
        const auto row = [](const char *tag, const QByteArray &json, const QString &expiry,
                            const QString &description) {
            QTest::newRow(tag) << map(json.constData()) << expiry << description;
        };
        const QByteArray day = QByteArray::number(kExpiry);
        row("date", "{'is_vip': true, 'vip_expire_at': " + day + "}", at, at);
        row("zero days left", "{'vip_num': 2, 'expire_at': " + day + ", 'remaining_days': 0, 'left_days': 4}",
            at + " · 剩余 0 天", at + " · 剩余 0 天");
        row("left days", "{'is_vip': true, 'expire_at': " + day + ", 'left_days': 5}", at + " · 剩余 5 天",
            at + " · 剩余 5 天");
        row("later key, as text", "{'is_vip': true, 'vip_expire_at': 0, 'expire_time': '" + day + "'}", at,
            "会员已开通 · 到期时间未知");
        row("lifetime", "{'is_vip': true, 'lifetime': true}", "永久有效", "永久有效");
        row("permanent status", "{'vip_num': 1, 'status': 'lifetime', 'vip_expire_at': -5}", "永久有效",
            "永久有效");
        row("permanent only when true", "{'is_vip': true, 'permanent': 'yes'}", "到期时间未知",
            "会员已开通 · 到期时间未知");
        row("unreadable expiry", "{'active': true, 'vip_expire_at': 'soon'}", "到期时间未知",
            "会员已开通 · 到期时间未知");
        row("not a member", "{'is_vip': false, 'vip_expire_at': " + day + "}", "未开通",
            "选择适合你的购买方式，微信扫码即可开通");
    }
    void expiryText()
    {
        QFETCH(QVariantMap, membership);
        QFETCH(QString, expiry);
        QFETCH(QString, description);
        QCOMPARE(nimbra::purchase::membershipExpiryText(membership), expiry);
        QCOMPARE(nimbra::purchase::membershipDescription(membership, true), description);
        QCOMPARE(nimbra::purchase::membershipDescription(membership, false),
                 QStringLiteral("登录后可同步订单与加速配置"));
        QCOMPARE(nimbra::purchase::membershipTitle(membership), expiry == QStringLiteral("未开通")
                                                                    ? QStringLiteral("尊享双链路加速 IP")
                                                                    : QStringLiteral("尊享会员 · 生效中"));
    }
};

QTEST_GUILESS_MAIN(TestMembershipTexts)
#include "tst_membershiptexts.moc"
