import QtQuick
import Tavo.Kit

// The keyboard-focus outline around its parent; shown only while `shown` holds.
Rectangle {
    property bool shown: false
    property real baseRadius: Theme.radiusField
    anchors.fill: parent
    anchors.margins: -3
    radius: baseRadius + 3
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    visible: shown
}
