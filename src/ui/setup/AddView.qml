import QtQuick
import QtQuick.Controls
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// Adding a box: boxes already on this network, and one card for the hotspot set-up's step.
// Every card is a function of the store's step; the search for boxes runs while the screen
// shows.
Flickable {
    id: view
    contentHeight: content.height + 2 * Theme.s5
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {}
    Shortcut { sequence: "Escape"; onActivated: Store.cancelProvision() }


    Component.onCompleted: {
        Store.beginProvision()
        App.discovery.start()
    }
    Component.onDestruction: App.discovery.stop()

    Column {
        id: content
        width: Math.min(view.width - 2 * Theme.s5, 560)
        x: (view.width - width) / 2
        y: Theme.s5
        spacing: Theme.s4

        Item {
            width: parent.width
            height: 44
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Add a box"
                color: Theme.text
                font.pixelSize: Theme.fontTitle
                font.weight: Font.Bold
            }
            TavoGhostButton {
                objectName: "cancel"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: "Cancel"
                onClicked: Store.cancelProvision()
            }
        }

        DiscoveredBoxesSection {}

        Loader {
            objectName: "stepCard"
            width: parent.width
            sourceComponent: {
                switch (Store.provKind) {
                case "searching": return searching
                case "needsAP": return needsAP
                case "onAP": return portal
                case "submitting":
                case "waitingForCloud":
                case "havePair": return busyStep
                case "manualPair": return manualPair
                default: return null
                }
            }
        }
    }

    Component { id: searching; SearchingCard {} }
    Component { id: needsAP; NeedsAPCard {} }
    Component { id: portal; PortalCard {} }
    Component { id: busyStep; BusyCard { text: Store.provHeadline } }
    Component { id: manualPair; ManualPairCard {} }
}
