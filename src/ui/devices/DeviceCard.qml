import QtQuick
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
    onEditingChanged: {
        if (editing) {
            nameEditor.setSource("DeviceNameEditor.qml", { card: card })
            relayEditor.setSource("RelayNamesEditor.qml", { card: card })
        } else {
            nameEditor.source = ""
            relayEditor.source = ""
        }
    }
    function save() {
        devices.save(index, draftDeviceName, draftRelayNames)
        editing = false
    }
    function act(id) {
        switch (id) {
        case "allOn": devices.allRelays(index, true); break
        case "allOff": devices.allRelays(index, false); break
        case "activity":
            if (!activity.item) {
                activity.setSource("ActivityLogSheet.qml", { objectName: "activitySheet" })
                const sheet = activity.item as ActivityLogSheet
                sheet.deviceID = Qt.binding(() => Number(card.idText))
                sheet.deviceName = Qt.binding(() => card.name)
            }
            (activity.item as ActivityLogSheet).open()
            break
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
            // The editors (and the sheets below) are loaded by URL when needed: they are made of
            // Qt Quick Controls, which a home screen of cards then never loads.
            Loader {
                id: nameEditor
                anchors.left: dot.right; anchors.leftMargin: Theme.s2
                anchors.right: parent.right
                height: 36
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

        Loader {
            id: relayEditor
            width: parent.width
            visible: card.editing
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
    Loader { id: removeDialog }
    onRemoveConfirmChanged: {
        if (removeConfirm) removeDialog.setSource("RemoveBoxDialog.qml", { card: card })
        else removeDialog.source = ""
    }

    Loader { id: activity }
}
