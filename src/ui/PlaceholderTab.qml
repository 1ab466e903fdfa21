import QtQuick
import Tavo

// Holds a tab's place until its screen exists.
Item {
    property string title: ""
    Column {
        anchors.centerIn: parent
        spacing: Theme.s2
        Text { anchors.horizontalCenter: parent.horizontalCenter; text: parent.parent.title; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
        Text { anchors.horizontalCenter: parent.horizontalCenter; text: "Coming in the next update."; color: Theme.textFaint; font.pixelSize: Theme.fontSmall }
    }
}
