import QtQuick
import Tavo.Kit

// What makes a drawn control a button: click, Tab focus with its ring, Space/Return/Enter,
// and an accessible name. Fills its parent.
Item {
    id: target
    property string accessibleName: ""
    property real ringRadius: Theme.radiusField
    readonly property bool hovered: area.containsMouse
    signal activated()
    anchors.fill: parent
    activeFocusOnTab: enabled
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: activated()
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            event.accepted = true
            target.activated()
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: target.activated()
    }
    FocusRing { shown: target.activeFocus; baseRadius: target.ringRadius }
}
