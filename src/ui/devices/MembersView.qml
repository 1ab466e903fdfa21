import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit
import Tavo.Devices

// Who can use one box, and inviting someone by phone with a choice of relays.
Flickable {
    id: screen
    readonly property var box: App.view.shownDevice // follows the boxes as they change
    property var deviceID: box.id
    property var invCountry: Input.defaultCountry()
    property string invNational: ""
    property var invRelays: []
    property bool invInitialized: false
    contentHeight: content.height + Theme.s6
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {}

    Component.onCompleted: Store.loadMembers(screen.deviceID)
    onBoxChanged: {
        if (!invInitialized && box.found) {
            invRelays = Input.initialInviteRelays(box.relayCount)
            invInitialized = true
        }
    }

    ColumnLayout {
        id: content
        width: Math.min(screen.width - 2 * Theme.s5, 640)
        x: (screen.width - width) / 2
        y: Theme.s5
        spacing: Theme.s4

        RowLayout {
            Layout.fillWidth: true
            TavoGhostButton { objectName: "membersBack"; glyph: "chevron.left"; text: "Back"; onClicked: Store.showHome() }
            Item { Layout.fillWidth: true }
        }
        Column {
            Text { text: "Members"; color: Theme.text; font.pixelSize: Theme.fontTitle; font.weight: Font.Bold }
            Text { objectName: "membersBoxName"; text: screen.box.name; color: Theme.textDim; font.pixelSize: Theme.fontBody }
        }

        TavoCard {
            Layout.fillWidth: true
            visible: App.view.members.length > 0
            ColumnLayout {
                width: parent.width
                spacing: Theme.s2
                Repeater {
                    model: App.view.members
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: Theme.s2
                        Rectangle { visible: index > 0; Layout.fillWidth: true; height: 1; color: Theme.stroke }
                        RowLayout {
                            objectName: "member_" + modelData.phone
                            property string role: modelData.role
                            Layout.fillWidth: true
                            spacing: Theme.s3
                            Text { Layout.fillWidth: true; text: Input.formatPhone(modelData.phone); color: Theme.text; font.pixelSize: Theme.fontBody; elide: Text.ElideRight }
                            Rectangle {
                                width: roleText.implicitWidth + 14; height: 22; radius: 11
                                color: "transparent"
                                border.color: modelData.role === "owner" ? Theme.accent : Theme.strokeStrong
                                Text {
                                    id: roleText
                                    anchors.centerIn: parent
                                    text: String(modelData.role).toUpperCase()
                                    color: modelData.role === "owner" ? Theme.accent : Theme.textFaint
                                    font.pixelSize: Theme.fontCaption
                                    font.weight: Font.DemiBold
                                    font.letterSpacing: 0.8
                                }
                            }
                            TavoGhostButton {
                                objectName: "memberRemove"
                                visible: modelData.role !== "owner"
                                small: true
                                danger: true
                                text: "remove"
                                onClicked: Store.removeMember(screen.deviceID, modelData.userID)
                            }
                        }
                    }
                }
            }
        }

        TavoCard {
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                spacing: Theme.s3
                Text { text: "Invite someone by phone"; color: Theme.text; font.pixelSize: Theme.fontHeading - 2; font.weight: Font.DemiBold }
                Text { visible: !screen.box.found; text: "Loading…"; color: Theme.textFaint; font.pixelSize: Theme.fontSmall }
                PhonePickerField {
                    objectName: "invitePhone"
                    visible: screen.box.found
                    Layout.fillWidth: true
                    country: screen.invCountry
                    national: screen.invNational
                    placeholder: "98765 43210"
                    onCountryPicked: c => screen.invCountry = c
                    onNationalEdited: n => screen.invNational = n
                }
                TavoLabel { visible: screen.box.found; text: "Relays they can control" }
                RelayChipPicker {
                    objectName: "relayPicker"
                    visible: screen.box.found
                    Layout.fillWidth: true
                    relayCount: screen.box.relayCount
                    relayNames: screen.box.relayNames
                    selected: screen.invRelays
                    onPicked: s => screen.invRelays = s
                }
                TavoPrimaryButton {
                    objectName: "inviteButton"
                    visible: screen.box.found
                    Layout.fillWidth: true
                    text: "Invite"
                    enabled: !Store.busy
                    onClicked: Store.inviteWithChips(screen.deviceID, Input.composePhone(screen.invCountry.dial, screen.invNational),
                                                     screen.invRelays, screen.box.relayCount)
                }
            }
        }

        TavoCard {
            objectName: "shareCard"
            Layout.fillWidth: true
            visible: Store.pendingInviteShareLink !== ""
            ColumnLayout {
                width: parent.width
                spacing: Theme.s3
                Text {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: "They haven't chatted with Tavo on WhatsApp yet, so our invite couldn't be delivered. Send it yourself:"
                    color: Theme.textDim
                    font.pixelSize: Theme.fontSmall
                }
                TavoPrimaryButton {
                    Layout.fillWidth: true
                    text: "Share invite on WhatsApp"
                    onClicked: App.view.openLink(Store.pendingInviteShareLink)
                }
            }
        }
    }
}
