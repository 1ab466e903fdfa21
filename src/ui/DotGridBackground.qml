import QtQuick
import Tavo

// The faint dot grid behind every screen.
Canvas {
    id: grid
    property int step: 22
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()
    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        ctx.fillStyle = Theme.dotGrid
        for (let y = step / 2; y < height; y += step)
            for (let x = step / 2; x < width; x += step)
                ctx.fillRect(x, y, 1.6, 1.6)
    }
}
