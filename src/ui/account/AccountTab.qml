import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit
import Tavo.Account

// Who is signed in, the boxes, adding a box, skills and sign-out.
Flickable {
    id: tab
    objectName: "accountTab"
    contentHeight: content.height + 120
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {}
    Component.onCompleted: Store.loadSkills()


    ColumnLayout {
        id: content
        width: Math.min(tab.width - 2 * Theme.s5, 640)
        x: (tab.width - width) / 2
        y: Theme.s5
        spacing: Theme.s4

        Text { text: "Account"; color: Theme.text; font.pixelSize: Theme.fontTitle; font.weight: Font.Bold }

        TavoCard {
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                spacing: Theme.s2
                TavoLabel { text: "Signed in as" }
                Text { text: Input.formatPhone(Store.phone); color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
                Row {
                    spacing: Theme.s2
                    TavoStatusDot { anchors.verticalCenter: parent.verticalCenter; state_: App.view.connDot }
                    Text { objectName: "accountConn"; text: App.view.accountConnLine; color: Theme.textDim; font.pixelSize: Theme.fontSmall }
                }
            }
        }

        TavoCard {
            visible: App.devices.count > 0
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                spacing: Theme.s2
                TavoLabel { text: "Devices" }
                Repeater {
                    model: App.devices
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: Theme.s2
                        Rectangle { visible: index > 0; Layout.fillWidth: true; height: 1; color: Theme.stroke }
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: Theme.s2
                            TavoStatusDot { state_: model.online ? "connected" : "offline"; size: 6 }
                            Text { text: model.name; color: Theme.text; font.pixelSize: Theme.fontBody; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { text: model.relayCount + " ch · " + String(model.role).toUpperCase(); color: Theme.textFaint; font.pixelSize: Theme.fontCaption }
                        }
                    }
                }
            }
        }

        TavoGhostButton {
            Layout.fillWidth: true
            text: "+ Add a new Tavo box"
            outlined: true
            onClicked: Store.showAdd()
        }

        TavoCard {
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                spacing: Theme.s3
                TavoLabel { text: "Skills" }
                Text {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: "Plug third-party services into Tavo. Once connected you can drive them from chat or WhatsApp."
                    color: Theme.textDim
                    font.pixelSize: Theme.fontSmall
                }
                BusyIndicator { visible: Store.skillsLoading && Store.skillRows.length === 0; running: visible; Layout.alignment: Qt.AlignHCenter }
                Text {
                    visible: !Store.skillsLoading && Store.skillRows.length === 0
                    text: "No skills available yet."
                    color: Theme.textFaint
                    font.pixelSize: Theme.fontSmall
                }
                Repeater {
                    model: Store.skillRows
                    SkillRow { Layout.fillWidth: true; skill: modelData; objectName: "skill_" + modelData.id }
                }
            }
        }

        TavoCard {
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                spacing: Theme.s3
                TavoLabel { text: "Desktop notifications" }
                Text {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: "Shown while this window is hidden or in the background."
                    color: Theme.textDim
                    font.pixelSize: Theme.fontSmall
                }
                Repeater {
                    model: [
                        { key: "presence", label: "A box goes offline or comes back" },
                        { key: "access", label: "You're added to a box, or removed" },
                        { key: "relays", label: "Someone else switches a relay" }
                    ]
                    RowLayout {
                        required property var modelData
                        Layout.fillWidth: true
                        Text { Layout.fillWidth: true; text: modelData.label; color: Theme.text; font.pixelSize: Theme.fontBody; elide: Text.ElideRight }
                        TavoSwitch {
                            objectName: "notify_" + modelData.key
                            checked: Notifications[modelData.key]
                            Accessible.name: modelData.label
                            onToggled: {
                                Notifications[modelData.key] = checked
                                checked = Qt.binding(() => Notifications[modelData.key])
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
                RowLayout {
                    Layout.fillWidth: true
                    Text { Layout.fillWidth: true; text: "Launch at login"; color: Theme.text; font.pixelSize: Theme.fontBody }
                    TavoSwitch {
                        objectName: "launchAtLogin"
                        checked: LoginItem.enabled
                        Accessible.name: "Launch at login"
                        onToggled: { LoginItem.enabled = checked; checked = Qt.binding(() => LoginItem.enabled) }
                    }
                }
                Rectangle { Layout.fillWidth: true; height: 1; color: Theme.stroke }
                RowLayout {
                    Layout.fillWidth: true
                    Text { Layout.fillWidth: true; text: "Use local server (food ordering)"; color: Theme.text; font.pixelSize: Theme.fontBody; wrapMode: Text.WordWrap }
                    TavoSwitch {
                        objectName: "useLocalServer"
                        checked: App.view.useLocalServer
                        Accessible.name: "Use local server (food ordering)"
                        onToggled: App.view.useLocalServer = checked
                    }
                }
                Text {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: "Sends your traffic to a development server on this computer (port 3200) instead of the Tavo cloud. It is for testing against a server you run locally; food ordering works against the cloud, so leave this off unless you know you need it. Switching signs you out."
                    color: Theme.textFaint
                    font.pixelSize: Theme.fontCaption
                }
            }
        }

        TavoGhostButton {
            Layout.fillWidth: true
            danger: true
            text: "Sign out"
            onClicked: Store.signOut()
        }
    }
}
