import QtQuick
import Tavo.Kit

// The sign-in screens' layout: a card centred in a scrolling page.
Flickable {
    id: frame
    default property alias content: column.data
    contentHeight: Math.max(height, card.height + 2 * Theme.s6)
    clip: true
    boundsBehavior: Flickable.StopAtBounds

    TavoCard {
        id: card
        width: Math.min(frame.width - 2 * Theme.s5, 420)
        height: column.implicitHeight + 2 * padding
        anchors.horizontalCenter: parent.horizontalCenter
        y: Math.max(Theme.s6, (frame.height - height) / 2)
        padding: Theme.s6

        Column {
            id: column
            width: parent.width
            spacing: Theme.s4
        }
    }
}
