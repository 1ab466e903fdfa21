import QtQuick
import Tavo

// Holds a screen's place until it exists, with the way back home.
Item {
    property string title: ""
    PlaceholderTab { anchors.fill: parent; title: parent.title }
    TavoGhostButton {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.margins: Theme.s4
        glyph: "chevron.left"
        text: "Back"
        onClicked: Store.showHome()
    }
}
