import QtQuick
import QtTest
import Tavo.Kit

// A screen test's window: the app's background, the size scripts/screenshots asks for (or
// 900×640), and shot(), which saves a state the test has built when screenshots are wanted.
TestCase {
    id: screenCase
    width: Hub.shotSize.width
    height: Hub.shotSize.height
    visible: true
    when: windowShown

    Rectangle { anchors.fill: parent; color: Theme.bg }

    // A screen from `component`, laid out: layouts (Flow, Grid) place their children on the
    // next polish, so click only after it.
    function shown(component, props) {
        const view = createTemporaryObject(component, screenCase, props || {})
        waitForRendering(view)
        return view
    }
    // Types `text` over what the field holds, a key at a time.
    function typeInto(field, text) {
        field.forceActiveFocus()
        field.selectAll()
        for (const c of text) keyClick(c)
    }
    // The children of `item` that `keep` accepts, in order.
    function kids(item, keep) {
        const out = []
        for (let i = 0; i < item.children.length; ++i) if (keep(item.children[i])) out.push(item.children[i])
        return out
    }
    // The device grid's card for a box, by name; null before the grid exists.
    function deviceCard(view, name) {
        const grid = findChild(view, "deviceGrid")
        return grid ? kids(grid, c => c.name === name)[0] || null : null
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

    // What the cloud has seen: requests of a method under a path, and a relay's state.
    function requestCount(method, prefix) {
        return Hub.get("/dev/requests").requests.filter(r => r.method === method && r.path.startsWith(prefix)).length
    }
    function relayOnInCloud(box, ch) { return Hub.get("/dev/state").boxes.find(b => b.id === box).states[ch - 1] }

    function shot(item, name) {
        if (!Hub.shotDir) return
        waitForRendering(item)
        grabImage(item).save(Hub.shotDir + "/" + name + "-" + width + "x" + height + ".png")
    }
}
