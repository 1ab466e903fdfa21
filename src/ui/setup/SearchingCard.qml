import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// Looking for a box's hotspot; "Search again" restarts the look.
AddCard {
    objectName: "searchingCard"
    Row {
        spacing: Theme.s3
        Spinner { anchors.verticalCenter: parent.verticalCenter }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: Store.provHeadline
            color: Theme.text
            font.pixelSize: Theme.fontBody
        }
    }
    TavoGhostButton {
        objectName: "searchAgain"
        small: true
        text: "Search again"
        onClicked: Store.scanForBox()
    }
}
