import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// Boxes already on the home network, from the one search the add screen runs.
AddCard {
    id: section
    objectName: "discoveredSection"

    Item {
        width: parent.width
        height: 32
        Row {
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.s2
            TavoStatusDot {
                objectName: "discoveryDot"
                anchors.verticalCenter: parent.verticalCenter
                state_: App.discovery.dot
            }
            Text {
                objectName: "discoveryTitle"
                text: App.discovery.title
                color: Theme.text
                font.pixelSize: Theme.fontBody
                font.weight: Font.DemiBold
            }
        }
        TavoGhostButton {
            objectName: "rescan"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            small: true
            glyph: "arrow.clockwise"
            text: "Rescan"
            Accessible.name: "Rescan"
            onClicked: App.discovery.rescan()
        }
    }
    Text {
        objectName: "mdnsNote"
        visible: App.discovery.showsNote
        width: parent.width
        wrapMode: Text.Wrap
        text: "If your other boxes aren't here, check they're on this same WiFi and powered on. mDNS takes ~30 s after boot."
        color: Theme.textFaint
        font.pixelSize: Theme.fontSmall
    }
    Column {
        width: parent.width
        visible: App.discovery.rows.length > 0
        Repeater {
            model: App.discovery.rows
            DiscoveredBoxRow { box: modelData }
        }
    }
}
