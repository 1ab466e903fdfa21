import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Devices

// The boxes: header with the connection, then the skeleton, the empty card or the grid.
Flickable {
    id: tab
    contentHeight: content.height + 120
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    TavoScrollBar { flickable: tab }
    readonly property string state_: App.devices.state
    readonly property int columns: Math.max(1, Math.min(4, Math.floor(content.width / 340)))

    // Scrolls a box's card into view and gives it the focus.
    function reveal(idText) {
        for (let i = 0; i < cards.count; ++i) {
            const card = cards.itemAt(i)
            if (card && card.idText === idText) {
                contentY = Math.max(0, Math.min(content.y + grid.y + card.y - Theme.s4, contentHeight - height))
                card.forceActiveFocus()
                return
            }
        }
    }

    Column {
        id: content
        width: Math.min(tab.width - 2 * Theme.s5, Theme.contentMaxWidth)
        x: (tab.width - width) / 2
        y: Theme.s5
        spacing: Theme.s5

        Item {
            width: parent.width
            height: 40
            TavoBrand { anchors.verticalCenter: parent.verticalCenter; compact: true }
            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: Theme.s2
                TavoStatusDot { anchors.verticalCenter: parent.verticalCenter; state_: App.view.connDot }
                Text { objectName: "connWord"; text: App.view.connWord; color: Theme.textDim; font.pixelSize: Theme.fontSmall }
            }
        }

        Column {
            objectName: "skeleton"
            visible: tab.state_ === "skeleton"
            width: parent.width
            spacing: Theme.s3
            Text { text: "Reaching your boxes…"; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
            Text {
                width: parent.width
                wrapMode: Text.Wrap
                text: "Opening the secure tunnel to your home. This usually takes a second or two."
                color: Theme.textDim
                font.pixelSize: Theme.fontBody
            }
            Grid {
                columns: tab.columns
                spacing: Theme.s4
                Repeater {
                    model: Math.max(2, tab.columns)
                    Rectangle {
                        width: (content.width - (tab.columns - 1) * Theme.s4) / tab.columns
                        height: 210
                        radius: Theme.radiusCard
                        color: Theme.surface
                        SequentialAnimation on opacity {
                            loops: Animation.Infinite
                            running: tab.state_ === "skeleton"
                            NumberAnimation { from: 0.35; to: 0.8; duration: 900; easing.type: Easing.InOutSine }
                            NumberAnimation { from: 0.8; to: 0.35; duration: 900; easing.type: Easing.InOutSine }
                        }
                    }
                }
            }
        }

        TavoCard {
            objectName: "emptyCard"
            visible: tab.state_ === "empty"
            width: parent.width
            height: emptyColumn.implicitHeight + 2 * padding
            Column {
                id: emptyColumn
                width: parent.width
                spacing: Theme.s2
                Text { text: "Quiet in here."; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
                Text {
                    width: parent.width
                    wrapMode: Text.Wrap
                    text: "No boxes yet. Add one from the Account tab to pair your first."
                    color: Theme.textDim
                    font.pixelSize: Theme.fontBody
                }
            }
        }

        Flow {
            id: grid
            objectName: "deviceGrid"
            visible: tab.state_ === "grid"
            width: parent.width
            spacing: Theme.s4
            Repeater {
                id: cards
                model: App.devices
                delegate: DeviceCard {
                    width: (grid.width - (tab.columns - 1) * Theme.s4) / tab.columns
                    devices: App.devices
                }
            }
        }
    }
}
