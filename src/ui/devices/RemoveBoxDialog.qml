import QtQuick
import QtQuick.Controls
import Tavo.Kit
import Tavo.Devices

// "Remove this box?" for one card, made when asked and gone once closed.
Dialog {
    id: confirm
    required property DeviceCard card
    objectName: "confirmDialog"
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent ? parent.width - 48 : 400, 400)
    modal: true
    visible: true
    onClosed: card.removeConfirm = false
    title: card.removal.title
    padding: Theme.s5
    Overlay.modal: Rectangle { color: "#99000000" }
    background: Rectangle { radius: Theme.radiusCard; color: Theme.surface; border.color: Theme.stroke }
    header: Text {
        text: confirm.title
        padding: Theme.s5
        bottomPadding: 0
        color: Theme.text
        font.pixelSize: Theme.fontHeading
        font.weight: Font.DemiBold
        elide: Text.ElideRight
    }
    contentItem: Text {
        text: confirm.card.removal.message
        wrapMode: Text.Wrap
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
    }
    footer: Row {
        layoutDirection: Qt.RightToLeft
        padding: Theme.s4
        spacing: Theme.s2
        TavoGhostButton {
            objectName: "confirmRemove"
            text: confirm.card.removal.button
            danger: true
            onClicked: { confirm.card.devices.remove(confirm.card.index); confirm.close() }
        }
        TavoGhostButton { objectName: "confirmCancel"; text: "Cancel"; onClicked: confirm.close() }
    }
}
