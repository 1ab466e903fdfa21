import QtQuick
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit

// One saved conversation: title, how long ago it changed, and delete, which asks first: a
// deleted conversation cannot be brought back.
Rectangle {
    id: row
    property var thread: ({})
    property bool isActive: false
    property date now: new Date()
    property bool confirming: false
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
            visible: !row.confirming
            text: App.chat.threadStamp(row.thread.updatedAt, row.now)
            color: Theme.textFaint
            font.pixelSize: Theme.fontCaption
        }
        TavoGhostButton {
            objectName: "deleteThread"
            visible: !row.confirming
            small: true
            glyph: "trash"
            Accessible.name: "Delete conversation"
            onClicked: row.confirming = true
        }
        TavoGhostButton {
            objectName: "keepThread"
            visible: row.confirming
            small: true
            text: "Keep"
            onClicked: row.confirming = false
        }
        TavoGhostButton {
            objectName: "confirmDeleteThread"
            visible: row.confirming
            small: true
            danger: true
            glyph: "trash"
            text: "Delete"
            onClicked: { row.confirming = false; row.deleteRequested() }
        }
    }
}
