import QtQuick
import Tavo.Kit
import Tavo.Devices

// One relay: the orb and its name; dimmed without access.
Rectangle {
    id: tile
    property var relay: ({})
    signal tapped()
    implicitHeight: 108
    radius: 16
    color: area.hovered && relay.allowed ? Theme.surfaceHigh : Theme.inset
    border.color: relay.on ? "#5a4a1a" : Theme.stroke
    opacity: relay.allowed ? 1 : 0.42

    RelayOrb {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 14
        size: 44
        on: tile.relay.on === true
    }
    Text {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 16
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideRight
        text: tile.relay.name !== undefined ? tile.relay.name : ""
        color: tile.relay.on ? Theme.text : Theme.textDim
        font.pixelSize: Theme.fontSmall
    }
    TapTarget {
        id: area
        objectName: "relayArea"
        ringRadius: tile.radius
        accessibleName: (tile.relay.name !== undefined ? tile.relay.name : "") + (tile.relay.on ? ", on" : ", off")
        onActivated: tile.tapped()
    }
}
