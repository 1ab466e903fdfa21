import QtQuick
import Tavo.Kit

// A Flickable's vertical scroll bar drawn from plain items, for the screens that start without
// Qt Quick Controls: hidden at rest, shown while the view moves or the pointer is on it, and
// its handle drags. Declare it inside the Flickable; it moves itself out of the content.
Item {
    id: bar
    required property Flickable flickable
    readonly property bool active: flickable.moving || area.containsMouse || area.pressed
    x: flickable.width - width
    width: 10
    height: flickable.height
    visible: flickable.visibleArea.heightRatio < 1
    Component.onCompleted: parent = flickable

    Rectangle {
        id: handle
        x: 2
        width: 6
        y: bar.flickable.visibleArea.yPosition * bar.height
        height: Math.max(width, bar.flickable.visibleArea.heightRatio * bar.height)
        radius: width / 2
        color: area.pressed ? Theme.text : Theme.textDim
        opacity: bar.active ? 0.75 : 0
        Behavior on opacity { enabled: !bar.active; SequentialAnimation { PauseAnimation { duration: 450 } NumberAnimation { duration: 200 } } }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        preventStealing: true // a drag on the bar moves the handle, not a flick of the view
        property real grab: 0
        onPressed: mouse => grab = mouse.y - handle.y
        onPositionChanged: mouse => {
            if (!pressed) return
            const f = bar.flickable
            const room = bar.height - handle.height
            const y = Math.max(0, Math.min(room, mouse.y - grab))
            f.contentY = room > 0 ? y / room * (f.contentHeight - f.height) : 0
        }
    }
}
