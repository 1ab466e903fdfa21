import QtQuick
import Tavo.Kit
import Tavo.Setup

// A step the app is waiting on.
AddCard {
    id: busy
    objectName: "busyCard"
    property string text: ""
    Row {
        width: parent.width
        spacing: Theme.s3
        Spinner { id: spin; anchors.verticalCenter: parent.verticalCenter }
        Text {
            objectName: "busyText"
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - spin.width - Theme.s3
            wrapMode: Text.Wrap
            text: busy.text
            color: Theme.text
            font.pixelSize: Theme.fontBody
        }
    }
}
