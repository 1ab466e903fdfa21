import QtQuick
import Tavo.Kit

// A round switch face that glows when on.
Item {
    id: orb
    property bool on: false
    property int size: 52
    implicitWidth: size
    implicitHeight: size

    Rectangle {
        anchors.centerIn: parent
        width: orb.size * 1.5
        height: width
        radius: width / 2
        color: Theme.accent
        opacity: orb.on ? 0.16 : 0
        Behavior on opacity { NumberAnimation { duration: 220 } }
    }
    Rectangle {
        anchors.fill: parent
        radius: width / 2
        gradient: Gradient {
            GradientStop { position: 0; color: orb.on ? "#ffe08a" : Theme.surfaceHigh }
            GradientStop { position: 1; color: orb.on ? Theme.accent : Theme.inset }
        }
        border.width: 1
        border.color: orb.on ? "#ffe9a8" : Theme.strokeStrong
    }
    // The power glyph: a ring open at the top and a bar.
    Canvas {
        id: glyph
        anchors.centerIn: parent
        width: orb.size * 0.42
        height: width
        property color ink: orb.on ? Theme.accentText : Theme.textDim
        onInkChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.strokeStyle = ink
            ctx.lineWidth = Math.max(1.5, width / 9)
            ctx.lineCap = "round"
            const c = width / 2, r = width / 2 - ctx.lineWidth
            ctx.beginPath()
            ctx.arc(c, c + 1, r, -Math.PI / 2 + 0.7, 1.5 * Math.PI - 0.7)
            ctx.stroke()
            ctx.beginPath()
            ctx.moveTo(c, 1)
            ctx.lineTo(c, c)
            ctx.stroke()
        }
    }
}
