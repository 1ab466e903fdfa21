import QtQuick
import QtQuick.Layouts
import Tavo.Kit

// One entry of the merged history: what happened, on which box, by whom, how long ago.
Item {
    id: row
    property var entry: ({})
    implicitHeight: 58
    RowLayout {
        anchors.fill: parent
        spacing: Theme.s3
        Rectangle { width: 8; height: 8; radius: 4; color: Theme.accent; opacity: 0.8 }
        Column {
            Layout.fillWidth: true
            spacing: 2
            Text { width: parent.width; text: row.entry.line; color: Theme.text; font.pixelSize: Theme.fontBody; elide: Text.ElideRight }
            Text {
                width: parent.width
                text: row.entry.box + (row.entry.phone !== "" ? "  ·  " + row.entry.phone : "")
                color: Theme.textFaint
                font.pixelSize: Theme.fontSmall
                elide: Text.ElideRight
            }
        }
        Text { text: row.entry.when; color: Theme.textDim; font.pixelSize: Theme.fontSmall }
    }
    Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.stroke }
}
