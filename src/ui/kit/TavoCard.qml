import QtQuick
import Tavo.Kit

// A rounded panel around arbitrary content.
Rectangle {
    id: card
    property int padding: Theme.s5
    default property alias content: inner.data
    implicitWidth: inner.childrenRect.width + 2 * padding
    implicitHeight: inner.childrenRect.height + 2 * padding
    radius: Theme.radiusCard
    color: Theme.surface
    border.color: Theme.stroke
    border.width: 1

    Item {
        id: inner
        anchors.fill: parent
        anchors.margins: card.padding
    }
}
