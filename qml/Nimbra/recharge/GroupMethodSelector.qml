import QtQuick

// The two ways of buying into a group: a team the service forms from the chosen options, or a team
// leader's team joined with its code.
ChoiceRow {
    id: selector

    property string method: "normal"

    signal methodSelected(string key)

    tileHeight: 54
    choices: [
        { key: "normal", title: "普通拼团", subtitle: "自选配置 · 系统自动成团" },
        { key: "leader", title: "团长专享", subtitle: "输入团码查询 · 直接加入" }
    ]
    current: selector.method
    onChosen: key => selector.methodSelected(key)
}
