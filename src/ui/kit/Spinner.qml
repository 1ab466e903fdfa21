import QtQuick
import Tavo.Kit

// An open ring turning while something is under way.
Item {
    id: spinner
    property int size: 22
    implicitWidth: size
    implicitHeight: size

    Canvas {
        id: ring
        anchors.fill: parent
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.lineWidth = 2.5
            ctx.lineCap = "round"
            ctx.strokeStyle = Theme.accent
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, width / 2 - 2, 0, Math.PI * 1.5)
            ctx.stroke()
        }
        RotationAnimation on rotation {
            running: spinner.visible
            from: 0; to: 360
            duration: 900
            loops: Animation.Infinite
        }
    }
}
