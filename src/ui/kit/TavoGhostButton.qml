import QtQuick
import Tavo.Kit

// The borderless secondary button; `danger` for destructive actions, `outlined` for a quiet
// bordered one that does not light up. `glyph` names an icon
// shown before the text (or alone: then give it an Accessible.name). Drawn from plain items, as
// TapTarget is, not on Qt Quick Controls: every box's card has a row of these, and so the home
// screen starts without loading Controls at all.
Item {
    id: control
    property string text: ""
    property bool danger: false
    property bool outlined: false
    property bool small: false
    property string glyph: ""
    property font font
    property real leftPadding: small ? 9 : Theme.s4
    property real rightPadding: leftPadding
    readonly property bool hovered: area.containsMouse
    readonly property bool down: area.pressed
    signal clicked()
    implicitWidth: content.implicitWidth + leftPadding + rightPadding
    implicitHeight: small ? 32 : 40
    font.pixelSize: small ? Theme.fontSmall : Theme.fontBody
    font.weight: Font.Medium
    opacity: enabled ? 1 : 0.4
    activeFocusOnTab: enabled
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: clicked()
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            event.accepted = true
            control.clicked()
        }
    }
    readonly property color ink: control.danger ? Theme.danger : (control.hovered ? Theme.text : Theme.textDim)

    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusField
        color: control.outlined ? "transparent" : control.down ? Theme.surfaceHigh : control.hovered ? (control.danger ? Theme.dangerSoft : Theme.surfaceHigh) : "transparent"
        border.width: control.outlined ? 1 : 0
        border.color: Theme.strokeStrong
    }
    Item {
        id: content
        x: control.leftPadding
        width: control.width - control.leftPadding - control.rightPadding
        height: control.height
        readonly property real glyphRoom: icon.visible ? icon.size + (label.visible ? 7 : 0) : 0
        implicitWidth: glyphRoom + (label.visible ? label.implicitWidth : 0)
        Glyph {
            id: icon
            x: Math.max(0, (parent.width - parent.implicitWidth) / 2)
            anchors.verticalCenter: parent.verticalCenter
            visible: control.glyph !== ""
            name: control.glyph
            size: control.small ? 16 : 18
            color: control.ink
        }
        Text {
            id: label
            x: icon.x + parent.glyphRoom
            width: Math.min(implicitWidth, parent.width - parent.glyphRoom)
            anchors.verticalCenter: parent.verticalCenter
            visible: control.text !== ""
            text: control.text
            font: control.font
            color: control.ink
            elide: Text.ElideRight
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: Theme.hoverEffects
        onClicked: control.clicked()
    }
    FocusRing { shown: control.activeFocus }
}
