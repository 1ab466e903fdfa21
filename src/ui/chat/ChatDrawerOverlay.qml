import QtQuick
import Tavo.Kit
import Tavo.Chat

// The chat as a drawer over the current tab.
Rectangle {
    id: drawer
    property real bottomInset: Theme.s4
    signal closeRequested()
    color: Theme.surface
    border.color: Theme.stroke
    ChatView {
        anchors.fill: parent
        asTab: false
        closable: true
        bottomInset: drawer.bottomInset
        onCloseRequested: drawer.closeRequested()
    }
}
