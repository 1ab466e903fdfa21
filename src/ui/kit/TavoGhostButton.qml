import QtQuick
import QtQuick.Controls
import Tavo.Kit

// The borderless secondary button; `danger` for destructive actions. `glyph` names an icon
// shown before the text (or alone: then give it an Accessible.name).
Button {
    id: control
    property bool danger: false
    property bool small: false
    property string glyph: ""
    implicitHeight: small ? 32 : 40
    leftPadding: small ? 9 : Theme.s4
    rightPadding: leftPadding
    font.pixelSize: small ? Theme.fontSmall : Theme.fontBody
    font.weight: Font.Medium
    opacity: enabled ? 1 : 0.4
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    FocusRing { shown: control.visualFocus }
    readonly property color ink: control.danger ? Theme.danger : (control.hovered ? Theme.text : Theme.textDim)
    contentItem: Item {
        readonly property real glyphRoom: icon.visible ? icon.size + (label.visible ? 7 : 0) : 0
        implicitWidth: glyphRoom + (label.visible ? label.implicitWidth : 0)
        implicitHeight: Math.max(icon.visible ? icon.size : 0, label.implicitHeight)
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
    background: Rectangle {
        radius: Theme.radiusField
        color: control.down ? Theme.surfaceHigh : control.hovered ? (control.danger ? Theme.dangerSoft : Theme.surfaceHigh) : "transparent"
    }
}
