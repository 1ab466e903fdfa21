import QtQuick
import QtTest
import Tavo.Store
import Tavo.Devices
import Tavo

// The merged history and one box's activity sheet, on the demo account's seeded log.
ScreenCase {
    id: tc
    name: "History"

    Component { id: historyTab; HistoryTab { anchors.fill: parent } }
    Component { id: home; HomeView { anchors.fill: parent } }

    function initTestCase() { Hub.reset(); verify(Hub.signInDemo()) }

    function loaded(feed) {
        tryVerify(() => !feed.loading && feed.rows.length > 0, 5000)
        return feed.rows
    }

    // Every box's entries, newest first, each with its box, who (formatted) and how long ago;
    // the history words entries its own way ("all off", the action itself when it has no sentence).
    function test_historyMergesEveryBox() {
        const view = createTemporaryObject(historyTab, tc)
        const rows = loaded(App.history)
        const want = Hub.rows("history-rows.json")
        compare(JSON.stringify(rows.map(r => ({ line: r.line, box: r.box, phone: r.phone, when: r.when }))),
                JSON.stringify(want.map(r => ({ line: r.line, box: r.box, phone: r.phone, when: r.when }))))
        const list = findChild(view, "historyList")
        compare(list.count, want.length)
        verify(!findChild(view, "historyEmpty").visible)
        shot(view, "history")
    }

    // A new account never sees, even for a moment, the last account's history.
    function test_historyOfANewAccountIsEmpty() {
        verify(App.history.rows.length > 0 || App.boxActivity.rows.length > 0) // from the tests before
        verify(Hub.signInAs("+919800000779", 0))
        compare(App.history.rows.length, 0)
        compare(App.boxActivity.rows.length, 0)
        verify(Hub.signInDemo())
    }

    // `onShow` looks at the sheet as it appears, before anything is fetched.
    function openSheet(name, onShow) {
        const view = createTemporaryObject(home, tc)
        let c = null
        tryVerify(() => { c = deviceCard(view, name); return c !== null }, 5000)
        waitForRendering(view)
        mouseClick(findChild(c, "action_activity"))
        const sheet = findChild(c, "activitySheet")
        if (onShow) onShow(sheet)
        tryVerify(() => sheet.opened, 3000)
        return [view, sheet]
    }

    // The sheet names the relay, says who and through what, and colours the dot by what happened.
    // A box nothing has happened on yet says so instead of showing an empty list, and never
    // shows the entries of the box whose sheet was open before.
    function test_activitySheets() {
        const [view, sheet] = openSheet("Living Room")
        const list = findChild(sheet.contentItem, "activityList")
        tryVerify(() => list.count === 3, 5000)
        const got = list.model.map(r => [r.line, r.actor, r.dot])
        compare(JSON.stringify(got), JSON.stringify(Hub.rows("activity-sheet-rows.json").map(r => [r.line, r.actor, r.dot])))
        compare(list.model[0].when, "40 min. ago")
        verify(!findChild(sheet.contentItem, "activityEmpty").visible)
        waitForRendering(view)
        shot(view, "activity-sheet")
        mouseClick(findChild(sheet.contentItem, "activityClose"))
        tryVerify(() => !sheet.visible, 3000)

        Hub.post("/dev/devices", { owner: "+919876543210", name: "Garage", relay_count: 2 })
        const [garageView, garage] = openSheet("Garage", s => compare(findChild(s.contentItem, "activityList").count, 0))
        const empty = findChild(garage.contentItem, "activityEmpty")
        tryVerify(() => empty.visible, 5000)
        compare(empty.text, "No activity yet. Toggle a relay and it'll show up here.")
        compare(findChild(garage.contentItem, "activityList").count, 0)
        waitForRendering(garageView)
        shot(garageView, "activity-sheet-empty")
        garage.close()
        Hub.reset()
        verify(Hub.signInDemo())
    }
}
