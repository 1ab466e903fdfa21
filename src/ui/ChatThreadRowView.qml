import QtQuick
import QtQuick.Layouts
import Tavo

// One saved conversation: title, how long ago it changed, and delete.
Rectangle {
    id: row
    property var thread: ({})
    property bool isActive: false
    property date now: new Date()
    signal tapped()
    signal deleteRequested()
    implicitHeight: 52
    radius: Theme.radiusField
    color: isActive ? Theme.surfaceHigh : tap.hovered ? Theme.inset : "transparent"
    border.width: isActive ? 1 : 0
    border.color: Theme.accent

    TapTarget { id: tap; accessibleName: row.thread.title; onActivated: row.tapped() }
    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.s3
        anchors.rightMargin: Theme.s1
        spacing: Theme.s2
        Text {
            Layout.fillWidth: true
            text: row.thread.title
            elide: Text.ElideRight
            maximumLineCount: 1
            color: Theme.text
            font.pixelSize: Theme.fontBody
            font.weight: row.isActive ? Font.DemiBold : Font.Normal
        }
        Text {
            objectName: "threadStamp"
            text: Rules.threadStamp(row.thread.updatedAt, row.now)
            color: Theme.textFaint
            font.pixelSize: Theme.fontCaption
        }
        TavoGhostButton {
            small: true
            text: "⌫"
            Accessible.name: "Delete conversation"
            onClicked: row.deleteRequested()
        }
    }
}
