import QtQuick
import Tavo.Kit

// The frame every add-box card shares: a full-width panel stacking its content.
TavoCard {
    id: card
    default property alias items: column.data
    width: parent ? parent.width : implicitWidth
    implicitHeight: column.implicitHeight + 2 * padding
    Column {
        id: column
        width: card.width - 2 * card.padding
        spacing: Theme.s3
    }
}
