import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit

// One box's activity, newest first, in a sheet over the devices.
Popup {
    id: sheet
    property var deviceID: 0
    property string deviceName: ""
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent ? parent.width - 2 * Theme.s4 : 480, 560)
    height: Math.min(parent ? parent.height - 2 * Theme.s5 : 560, 620)
    modal: true
    padding: Theme.s5
    onAboutToShow: {
        App.boxActivity.deviceID = sheet.deviceID
        App.boxActivity.load()
    }
    Overlay.modal: Rectangle { color: "#99000000" }
    background: Rectangle { radius: Theme.radiusCard; color: Theme.surface; border.color: Theme.stroke }


    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.s3
        RowLayout {
            Layout.fillWidth: true
            Column {
                Layout.fillWidth: true
                Text { text: "Activity"; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
                Text { width: parent.width; text: sheet.deviceName; color: Theme.textDim; font.pixelSize: Theme.fontSmall; elide: Text.ElideRight }
            }
            TavoGhostButton { objectName: "activityClose"; text: "Close"; onClicked: sheet.close() }
        }
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Spinner { anchors.centerIn: parent; visible: App.boxActivity.loading && App.boxActivity.rows.length === 0 }
            Text {
                objectName: "activityEmpty"
                anchors.centerIn: parent
                width: parent.width
                visible: !App.boxActivity.loading && App.boxActivity.rows.length === 0
                text: "No activity yet. Toggle a relay and it'll show up here."
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                color: Theme.textFaint
                font.pixelSize: Theme.fontSmall
            }
            ListView {
                objectName: "activityList"
                anchors.fill: parent
                clip: true
                model: App.boxActivity.rows
                ScrollBar.vertical: ScrollBar {}
                delegate: Item {
                    width: ListView.view.width
                    height: 54
                    RowLayout {
                        anchors.fill: parent
                        spacing: Theme.s3
                        Rectangle {
                            width: 8; height: 8; radius: 4
                            color: modelData.dot === "on" ? Theme.online : modelData.dot === "accent" ? Theme.accent : Theme.offline
                        }
                        Column {
                            Layout.fillWidth: true
                            spacing: 2
                            Text { width: parent.width; text: modelData.line; color: Theme.text; font.pixelSize: Theme.fontBody; elide: Text.ElideRight }
                            Text { width: parent.width; text: modelData.actor; color: Theme.textFaint; font.pixelSize: Theme.fontSmall; elide: Text.ElideRight }
                        }
                        Text { text: modelData.when; color: Theme.textDim; font.pixelSize: Theme.fontSmall }
                    }
                    Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.stroke }
                }
            }
        }
    }
}
