import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/recharge/GroupLogic.js" as GroupLogic

TestCase {
    name: "GroupLogic"

    // A member as RechargeApi hands it over.
    function member(nickname, displayName, hasGame) {
        return { nickname: nickname, display_name: displayName, game_name: hasGame ? "CS2" : "", has_game: hasGame,
                 status_text: "", pay_status: "", status: "" }
    }

    function members(n, withGames) {
        const result = []
        for (let i = 0; i < n; ++i)
            result.push(member(withGames ? "团员" + i : "", withGames ? "团员" + i : "Kyo", withGames))
        return result
    }

    function test_memberSlots_data() {
        return [
            { tag: "twelve members", team: { member_count: 10, members: members(12, true) }, slots: 10, filled: 10 },
            { tag: "empty team of five", team: { member_count: 5 }, slots: 5, filled: 0 },
            { tag: "no size", team: { members: members(2, true) }, slots: 5, filled: 2 },
            { tag: "size 8", team: { member_count: 8, members: members(3, false) }, slots: 8, filled: 3 },
            { tag: "nothing", team: null, slots: 5, filled: 0 }
        ]
    }

    function test_memberSlots(row) {
        const slots = GroupLogic.memberSlots(row.team)
        compare(slots.length, row.slots)
        compare(slots.filter(s => s.filled).length, row.filled)
        if (row.filled < row.slots)
            compare(slots[row.slots - 1].name, "空位 · 等待加入")
    }

    function test_memberSlotTexts() {
        const slots = GroupLogic.memberSlots({ members: [member("阿狸不吃鱼", "阿狸不吃鱼", true), member("", "Kyo", false),
                                                         member("", "", false)] })
        compare([slots[0].initial, slots[0].name, slots[0].detail], ["阿", "阿狸不吃鱼", "已选游戏"])
        compare([slots[1].initial, slots[1].name, slots[1].detail], ["K", "团员", "待选择"])
        compare(slots[2].initial, "员")
    }

    function test_seatStates_data() {
        return [
            { tag: "game chosen, two paid", paid: 2, chosen: true, expected: "mine taken taken free" },
            { tag: "no game, two paid", paid: 2, chosen: false, expected: "free taken taken free" },
            { tag: "none", paid: 0, chosen: true, expected: "mine free free free" },
            { tag: "full", paid: 12, chosen: false, expected: "free taken taken taken" }
        ]
    }

    function test_seatStates(row) {
        const states = GroupLogic.seatStates(row.paid, row.chosen)
        compare(states.length, 10)
        compare(states.slice(0, 4).join(" "), row.expected)
    }

    function test_counts_data() {
        return [
            { tag: "paid count", team: { paid_member_count: 3, members: members(2, true), member_count: 5 }, paid: 3,
              current: 3, target: 5, size: 5 },
            { tag: "members when paid is 0", team: { paid_member_count: 0, members: members(2, true), member_count: 10 },
              paid: 2, current: 2, target: 10, size: 10 },
            { tag: "nothing", team: {}, paid: 0, current: 0, target: 0, size: 5 }
        ]
    }

    function test_counts(row) {
        compare(GroupLogic.paidCount(row.team), row.paid)
        compare(GroupLogic.teamCurrent(row.team), row.current)
        compare(GroupLogic.teamTarget(row.team), row.target)
        compare(GroupLogic.teamSize(row.team), row.size)
    }

    function test_teamStatus_data() {
        return [
            { tag: "default", team: {}, text: "组团中" },
            { tag: "label first", team: { status_label: "Waiting", status: "formed" }, text: "组团中" },
            { tag: "pending", team: { status_label: "PENDING" }, text: "组团中" },
            { tag: "success", team: { status: "success" }, text: "已成团" },
            { tag: "completed", team: { status: "completed" }, text: "已成团" },
            { tag: "expired", team: { status: "expired" }, text: "已过期" },
            { tag: "failure", team: { status: "failure" }, text: "成团失败" },
            { tag: "canceled", team: { status: "canceled" }, text: "已关闭" },
            { tag: "other", team: { status_label: "组团中" }, text: "组团中" },
            { tag: "unknown", team: { status: "paused" }, text: "处理中" }
        ]
    }

    function test_teamStatus(row) {
        compare(GroupLogic.teamStatusText(row.team), row.text)
    }

    function test_texts() {
        compare(GroupLogic.joinStatusText({}), "进行中")
        compare(GroupLogic.joinStatusText({ status_label: "Formed" }), "已成团")
        compare(GroupLogic.joinStatusText({ status_label: "组团中" }), "组团中")
        compare(GroupLogic.joinStatusText({ status_label: "locked" }), "处理中")
        compare(GroupLogic.displayTime(0), "—")
        verify(/^\d{4}-\d\d-\d\d \d\d:\d\d$/.test(GroupLogic.displayTime(1798675200)))
    }

    function test_gameChoices() {
        compare(GroupLogic.gameChoices([{ value: "com.valve.cs2", text: "CS2", available: false },
                                        { value: "5001", text: "", available: true }]),
                [{ value: "com.valve.cs2", text: "CS2", available: false },
                 { value: "5001", text: "游戏", available: true }])
        compare(GroupLogic.gameChoices(undefined), [])
    }
}
