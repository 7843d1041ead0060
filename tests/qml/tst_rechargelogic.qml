import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/recharge/RechargeLogic.js" as Logic

TestCase {
    name: "RechargeLogic"

    function localDate(seconds) {
        const d = new Date(seconds * 1000)
        return d.getFullYear() + "-" + (d.getMonth() < 9 ? "0" : "") + (d.getMonth() + 1) + "-"
            + (d.getDate() < 10 ? "0" : "") + d.getDate()
    }

    function test_typeText() {
        compare(Logic.membershipTypeText({ vip_num: 3, vip_type: "SHARED" }), "共享会员")
        compare(Logic.membershipTypeText({ is_vip: true, vip_type: " Private! " }), "独享会员")
        compare(Logic.membershipTypeText({ active: true, plan_type: "拼 团" }), "拼团会员")
        compare(Logic.membershipTypeText({ status: "enabled", type: "Monthly" }), "月卡会员")
        compare(Logic.membershipTypeText({ vipNum: 1, plan_name: "季卡" }), "季卡会员")
        compare(Logic.membershipTypeText({ is_vip: true, product_name: "Annual" }), "年卡会员")
        compare(Logic.membershipTypeText({ is_vip: true, member_type: "永久" }), "终身会员")
        // The first truthy key wins; unknown names come back stripped and lower-cased.
        compare(Logic.membershipTypeText({ is_vip: true, vip_type: "", member_type: "Gold-Plus 2" }), "goldplus2")
        compare(Logic.membershipTypeText({ is_vip: true }), "尊享会员")
        compare(Logic.membershipTypeText({ is_vip: true, vip_type: "★" }), "尊享会员")
        // Not a member: no type at all.
        compare(Logic.membershipTypeText({ vip_num: 0, is_vip: false, vip_type: "shared" }), "")
        compare(Logic.membershipTypeText({ vip_num: "0", status: "expired", vip_type: "shared" }), "")
        compare(Logic.membershipTypeText(null), "")
        compare(Logic.membershipTypeText(undefined), "")
    }

    function test_expiryText() {
        const expiry = 1798675200 // 2027-01-01 00:00 UTC
        compare(Logic.membershipExpiryText({ is_vip: true, vip_expire_at: expiry }), localDate(expiry) + " 到期")
        compare(Logic.membershipExpiryText({ vip_num: 2, expire_at: expiry, remaining_days: 0 }),
                localDate(expiry) + " 到期 · 剩余 0 天")
        compare(Logic.membershipExpiryText({ is_vip: true, end_time: expiry, left_days: 5 }),
                localDate(expiry) + " 到期 · 剩余 5 天")
        // remaining_days wins over left_days whenever it is present.
        compare(Logic.membershipExpiryText({ is_vip: true, valid_until: expiry, remaining_days: 3, left_days: 9 }),
                localDate(expiry) + " 到期 · 剩余 3 天")
        compare(Logic.membershipExpiryText({ is_vip: true, vip_expire_at: 0, expired_at: expiry }),
                localDate(expiry) + " 到期")
        compare(Logic.membershipExpiryText({ is_vip: true, expire_time: String(expiry) }), localDate(expiry) + " 到期")

        compare(Logic.membershipExpiryText({ is_vip: true, lifetime: true }), "永久有效")
        compare(Logic.membershipExpiryText({ is_vip: true, status: "permanent" }), "永久有效")
        compare(Logic.membershipExpiryText({ vip_num: 1, status: "lifetime", vip_expire_at: -5 }), "永久有效")
        compare(Logic.membershipExpiryText({ active: true, status: "active", is_permanent: true }), "永久有效")
        compare(Logic.membershipExpiryText({ is_vip: true, permanent: "yes" }), "到期时间未知")
        compare(Logic.membershipExpiryText({ is_vip: true }), "到期时间未知")
        compare(Logic.membershipExpiryText({ is_vip: true, vip_expire_at: "soon" }), "到期时间未知")

        compare(Logic.membershipExpiryText({ is_vip: false, vip_expire_at: expiry }), "未开通")
        compare(Logic.membershipExpiryText({}), "未开通")
        compare(Logic.membershipExpiryText(null), "未开通")
    }
}
