import QtQuick
import QtTest
import Tavo

// A screen test's window: the app's background, the size scripts/screenshots asks for (or
// 900×640), and shot(), which saves a state the test has built when screenshots are wanted.
TestCase {
    id: screenCase
    width: Hub.shotWidth
    height: Hub.shotHeight
    visible: true
    when: windowShown

    Rectangle { anchors.fill: parent; color: Theme.bg }

    function shot(item, name) {
        if (!Hub.shotDir) return
        waitForRendering(item)
        grabImage(item).save(Hub.shotDir + "/" + name + "-" + width + "x" + height + ".png")
    }
}
