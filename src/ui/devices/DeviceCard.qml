import QtQuick
import QtQuick.Controls
import Tavo.Store
import Tavo.Kit
import Tavo.Devices

// One box: header, offline note, relay tiles (or the rename editor), and its actions.
TavoCard {
    id: card
    required property int index
    required property string name
    required property bool online
    required property int relayCount
    required property var relays
    required property var relayNames
    required property string offlineText
    required property string idText
    required property var actions
    required property var removal
    property DeviceModel devices: App.devices
    property bool editing: false
    property string draftDeviceName: ""
    property var draftRelayNames: ({})
    property bool removeConfirm: false
    padding: Theme.s4
    height: column.implicitHeight + 2 * padding

    function startEditing() {
        draftDeviceName = name
        draftRelayNames = devices.relayNameDrafts(index)
        editing = true
    }
    function save() {
        devices.save(index, draftDeviceName, draftRelayNames)
        editing = false
    }
    function act(id) {
        switch (id) {
        case "allOn": devices.allRelays(index, true); break
        case "allOff": devices.allRelays(index, false); break
        case "activity": activity.active = true; (activity.item as ActivityLogSheet).open(); break
        case "rename": startEditing(); break
        case "members": devices.openMembers(index); break
        case "remove": removeConfirm = true; break
        case "save": save(); break
        case "cancel": editing = false; break
        }
    }

    Column {
        id: column
        width: parent.width
        spacing: Theme.s3

        Item {
            width: parent.width
            height: 32
            TavoStatusDot { id: dot; anchors.verticalCenter: parent.verticalCenter; state_: card.online ? "connected" : "offline" }
            Text {
                visible: !card.editing
                anchors.left: dot.right; anchors.leftMargin: Theme.s2
                anchors.right: badge.visible ? badge.left : parent.right; anchors.rightMargin: Theme.s2
                anchors.verticalCenter: parent.verticalCenter
                text: card.name
                elide: Text.ElideRight
                maximumLineCount: 1
                color: Theme.text
                font.pixelSize: Theme.fontHeading - 1
                font.weight: Font.DemiBold
            }
            TavoField {
                visible: card.editing
                objectName: "nameEditor"
                anchors.left: dot.right; anchors.leftMargin: Theme.s2
                anchors.right: parent.right
                height: 36
                text: card.draftDeviceName
                onTextEdited: card.draftDeviceName = text
                inputMethodHints: Qt.ImhNoPredictiveText
            }
            Rectangle {
                id: badge
                visible: !card.online && !card.editing
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                width: badgeText.implicitWidth + 14
                height: 22
                radius: 11
                color: Theme.dangerSoft
                Text {
                    id: badgeText
                    anchors.centerIn: parent
                    text: "OFFLINE"
                    color: Theme.danger
                    font.pixelSize: Theme.fontCaption - 1
                    font.weight: Font.Bold
                    font.letterSpacing: 1
                }
            }
        }

        Text {
            visible: !card.online && card.offlineText.length > 0
            width: parent.width
            wrapMode: Text.Wrap
            text: card.offlineText
            color: Theme.textDim
            font.pixelSize: Theme.fontSmall
        }

        Grid {
            id: tiles
            visible: !card.editing
            width: parent.width
            columns: Math.max(2, Math.min(4, Math.floor(width / 92)))
            spacing: Theme.s2
            opacity: card.online ? 1 : 0.45
            // One tile per channel, kept across state pushes: a push changes `relays`, which the
            // tiles read, not the number of tiles.
            Repeater {
                model: card.relayCount
                delegate: RelayTile {
                    required property int index
                    width: (tiles.width - (tiles.columns - 1) * tiles.spacing) / tiles.columns
                    relay: card.relays[index] ?? ({})
                    onTapped: card.devices.tapRelay(card.index, index + 1)
                }
            }
        }

        Column {
            visible: card.editing
            width: parent.width
            spacing: Theme.s2
            TavoLabel { text: "Rename relays" }
            Repeater {
                model: card.editing ? card.relayCount : 0
                delegate: TavoField {
                    required property int index
                    readonly property string key: String(index + 1)
                    objectName: "relayNameField_" + key
                    width: parent.width
                    height: 38
                    placeholderText: "Relay " + key
                    text: card.draftRelayNames[key] !== undefined ? card.draftRelayNames[key] : ""
                    onTextEdited: { const d = card.draftRelayNames; d[key] = text; card.draftRelayNames = d }
                }
            }
        }

        Flow {
            width: parent.width
            spacing: 0
            Repeater {
                model: card.editing ? [{ id: "save", label: "Save" }, { id: "cancel", label: "Cancel" }] : card.actions
                delegate: TavoGhostButton {
                    required property var modelData
                    objectName: "action_" + modelData.id
                    small: true
                    text: modelData.label
                    danger: modelData.danger ?? false
                    onClicked: card.act(modelData.id)
                }
            }
        }
    }

    // The sheets are made on first use: a home screen of many boxes starts without them.
    Loader {
        active: card.removeConfirm
        sourceComponent: Dialog {
            id: confirm
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
                text: card.removal.message
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
                    text: card.removal.button
                    danger: true
                    onClicked: { card.devices.remove(card.index); confirm.close() }
                }
                TavoGhostButton { objectName: "confirmCancel"; text: "Cancel"; onClicked: confirm.close() }
            }
        }
    }

    Loader {
        id: activity
        active: false
        sourceComponent: ActivityLogSheet {
            objectName: "activitySheet"
            deviceID: Number(card.idText)
            deviceName: card.name
        }
    }
}
