import QtQuick
import Tavo.Kit

// The wordmark: "Tavo" and a lighter "/home", with an optional tag beside it.
Row {
    id: brand
    property string tag: ""
    property bool compact: false
    spacing: Theme.s2

    Text {
        anchors.baseline: slash.baseline
        text: "Tavo"
        color: Theme.text
        font.pixelSize: brand.compact ? 20 : 28
        font.weight: Font.Bold
        font.letterSpacing: -0.5
    }
    Text {
        id: slash
        leftPadding: -Theme.s2 + 1
        text: "/home"
        color: Theme.textFaint
        font.pixelSize: brand.compact ? 20 : 28
        font.weight: Font.Light
    }
    Rectangle {
        visible: brand.tag.length > 0
        anchors.verticalCenter: slash.verticalCenter
        height: tagText.implicitHeight + 8
        width: tagText.implicitWidth + 16
        radius: height / 2
        color: "transparent"
        border.color: Theme.strokeStrong
        Text {
            id: tagText
            anchors.centerIn: parent
            text: brand.tag
            color: Theme.accent
            font.pixelSize: Theme.fontCaption - 1
            font.weight: Font.DemiBold
            font.letterSpacing: 1.2
        }
    }
}
