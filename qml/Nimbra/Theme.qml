pragma Singleton
import QtQuick

// The colours of the two themes, written out once: each function gives a token's light-theme value
// when light is true, else its dark-theme value. The tokens views share reach them as a ThemeColors
// their host makes from these, following its lightMode.
QtObject {
    // The smallest text size in scene pixels that still shows at 10 px on screen; the window sets it
    // from its scale. Small text takes its size through textSize.
    property real textFloor: 10
    function textSize(size: real): real { return Math.max(size, textFloor) }

    function ink(light: bool): color { return light ? "#182338" : "#e6eefa" }
    function ink2(light: bool): color { return light ? "#b2182338" : "#b3e6eefa" }
    // Captions and placeholders are text: strong enough for 4.5:1 on the page, cards and pop-ups.
    function ink3(light: bool): color { return light ? "#ad182338" : "#87e6eefa" }
    function ink4(light: bool): color { return light ? "#42182338" : "#42e6eefa" }
    function primary(light: bool): color { return light ? "#2f7bf2" : "#50aaff" }
    function accent(light: bool): color { return light ? "#ff7e4d" : "#ff8c50" }
    function neon(light: bool): color { return light ? "#00c97c" : "#3dffa8" }
    function cardFill(light: bool): color { return light ? "#52ffffff" : "#16ffffff" }
    function edge(light: bool): color { return light ? "#82ffffff" : "#48ffffff" }
    function darkBg(light: bool): color { return light ? "#e9eff7" : "#070c18" }
    function panelBg(light: bool): color { return light ? "#cce9eff7" : "#d0070c18" }
    function panelInner(light: bool): color { return light ? "#50ffffff" : "#10070c18" }
    // The same hues where they colour text: bright fills and icons read too faint as text on the light
    // page, so text takes a darker form there (AA, 4.5:1, also on the token's own light wash under a
    // badge or a selected chip); in the dark theme only the blue needs a touch more light.
    function accentText(light: bool): color { return light ? "#ad3000" : "#ff8c50" }
    function neonText(light: bool): color { return light ? "#006d43" : "#3dffa8" }
    function primaryText(light: bool): color { return light ? "#0c53c0" : "#5aafff" }
    function memberText(light: bool): color { return light ? "#765a1c" : memberInk }
    // A label on a primary-coloured button: white on the deep light-theme blue, dark on the bright
    // dark-theme blue, where white reads at 2.4:1.
    function onPrimary(light: bool): color { return light ? "#ffffff" : brightInk }
    // Text on the bright gradients of both themes (the pay button, the avatars' primary-to-accent
    // circle): white reads below 3:1 on their light ends.
    readonly property color brightInk: "#06182e"
    // The text form of a colour a view holds as a token: accent, neon and primary of either theme
    // give their text variant, any other colour is already fit for text and comes back unchanged.
    function text(c: color): color {
        for (const light of [true, false]) {
            if (Qt.colorEqual(c, accent(light)))
                return accentText(light)
            if (Qt.colorEqual(c, neon(light)))
                return neonText(light)
            if (Qt.colorEqual(c, primary(light)))
                return primaryText(light)
        }
        return c
    }
    // Text fields of the sign-in dialog.
    function fieldFill(light: bool): color { return light ? "#28ffffff" : "#0de6eefa" }
    // Surfaces of pop-up cards and menus, and the same laid over the page's own colour: a pop-up is
    // drawn in the opaque form, so no page text shows through it.
    function popupFill(light: bool): color { return light ? "#f4e9eff7" : "#f2070c18" }
    function popupSurface(light: bool): color { return Qt.tint(darkBg(light), popupFill(light)) }
    // The window's background gradient: darkBg, then these two stops.
    function backdropMid(light: bool): color { return light ? "#e6edf7" : "#091326" }
    function backdropEnd(light: bool): color { return light ? "#cfdcee" : "#02040a" }
    // The mask behind a dialog.
    function scrim(light: bool): color { return light ? "#52000000" : "#85000000" }
    // Search and code inputs, recent-game cards, chips over the hero picture, a game icon's ring.
    function inputFill(light: bool): color { return light ? "#66ffffff" : "#14ffffff" }
    function recentFill(light: bool): color { return light ? "#40ffffff" : "#0cffffff" }
    function chipFill(light: bool): color { return light ? "#b3ffffff" : "#66070c18" }
    function iconRing(light: bool): color { return light ? "#e9eff7" : "#0c1426" }
    function toastFill(light: bool): color { return light ? "#f4ffffff" : "#f2101a2e" }
    // The idle boost button's and the pay button's gradients.
    function boostStart(light: bool): color { return light ? "#fff4fff0" : "#ff3dffa8" }
    function boostEnd(light: bool): color { return light ? "#ff00c97c" : "#ff0a7d4f" }
    function payStart(light: bool): color { return light ? "#ff4f95ff" : "#ff50aaff" }
    function payEnd(light: bool): color { return light ? "#ff2f63f2" : "#ff2f6fe0" }
    // The running boost button's gradient, the same in both themes; its white label needs 3:1 (20 px bold).
    readonly property color stopStart: "#ffff5966"
    readonly property color stopEnd: "#ffd51f38"
    // The home page's control cards.
    function controlFill(light: bool): color { return light ? "#d8f4f7fb" : "#b8070c18" }

    // Membership marks, the same in both themes: the "VIP" badge, the gold ring and glow, the
    // member's name in the account menu.
    readonly property color vipBadge: "#4a3313"
    readonly property color vipText: "#f0e2b3"
    readonly property color gold: "#e8cf9b"
    readonly property color memberInk: "#d6ae55"
}
