import QtQuick
import QtQuick.Controls
import Tavo.Store
import Tavo.Kit

// One box announcing itself on this network; a ready one is claimed with a tap.
ItemDelegate {
    id: row
    property var box: ({})
    width: parent ? parent.width : implicitWidth
    implicitHeight: 58
    enabled: box.enabled === true
    Accessible.name: box.title + ", " + box.subtitle
    padding: Theme.s3
    onClicked: Store.claim(box.pairCode)
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Item {
        Column {
            anchors.left: parent.left
            anchors.right: plus.left
            anchors.rightMargin: Theme.s2
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            Text {
                width: parent.width
                elide: Text.ElideRight
                text: row.box.title
                color: Theme.text
                font.pixelSize: Theme.fontBody
                font.weight: Font.DemiBold
            }
            Text {
                objectName: "subtitle"
                width: parent.width
                elide: Text.ElideRight
                text: row.box.subtitle
                color: Theme.textDim
                font.pixelSize: Theme.fontSmall
            }
        }
        Glyph {
            id: plus
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            name: row.box.canClaim ? "plus.circle.fill" : ""
            color: Theme.accent
            size: 22
        }
    }
    background: Rectangle {
        radius: Theme.radiusField
        color: row.down ? Theme.surfaceHigh : row.hovered || row.visualFocus ? Theme.inset : "transparent"
        opacity: row.enabled ? 1 : 0.55
    }
}
