import QtQuick
import QtTest
import Tavo.Kit

// A screen test's window: the app's background, the size scripts/screenshots asks for (or
// 900×640), and shot(), which saves a state the test has built when screenshots are wanted.
TestCase {
    id: screenCase
    width: Hub.shotWidth
    height: Hub.shotHeight
    visible: true
    when: windowShown

    Rectangle { anchors.fill: parent; color: Theme.bg }

    // The device grid's card for a box, by name; null before the grid exists.
    function deviceCard(view, name) {
        const grid = findChild(view, "deviceGrid")
        if (!grid) return null
        for (let i = 0; i < grid.children.length; ++i)
            if (grid.children[i].name === name) return grid.children[i]
        return null
    }
    // The relay tile under `item` showing that relay name.
    function relayTile(item, name) {
        if (item.relay !== undefined && item.relay.name === name) return item
        for (let i = 0; i < item.children.length; ++i) {
            const hit = relayTile(item.children[i], name)
            if (hit) return hit
        }
        return null
    }

    function shot(item, name) {
        if (!Hub.shotDir) return
        waitForRendering(item)
        grabImage(item).save(Hub.shotDir + "/" + name + "-" + width + "x" + height + ".png")
    }
}
