import QtQuick
import Tavo

// The chat as a drawer over the current tab.
Rectangle {
    id: drawer
    signal closeRequested()
    color: Theme.surface
    border.color: Theme.stroke
    ChatView {
        anchors.fill: parent
        asTab: false
        closable: true
        onCloseRequested: drawer.closeRequested()
    }
}
