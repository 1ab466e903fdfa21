import QtQuick
import QtTest
import Tavo.Store
import Tavo.Devices
import Tavo.Chat
import Tavo

ScreenCase {
    id: tc
    name: "Home"

    Component { id: home; HomeView { anchors.fill: parent } }
    Component { id: historyTab; HistoryTab { anchors.fill: parent } }
    Component { id: chatTab; ChatView { anchors.fill: parent } }

    function initTestCase() { Hub.reset(); verify(Hub.signInDemo()) }
    function init() { Hub.clearToast() }

    function pill(view, label) { return findChild(view, "pill_" + label) }

    // Without a mouse: Escape closes the drawer, Return picks a pill, Space taps a tile, Tab moves on.
    function test_pillsAndKeyboard() {
        const view = shown(home)
        mouseClick(pill(view, "Chat"))
        verify(view.chatDrawerOpen)
        keyClick(Qt.Key_Escape)
        verify(!view.chatDrawerOpen)

        pill(view, "History").forceActiveFocus()
        keyClick(Qt.Key_Return)
        compare(view.tab, 2)
        keyClick(Qt.Key_Tab)
        verify(!pill(view, "History").activeFocus)
        pill(view, "Devices").forceActiveFocus()
        keyClick(Qt.Key_Space)
        compare(view.tab, 0)

        waitForRendering(view)
        const area = findChild(relayTile(deviceCard(view, "Guest House"), "Relay 2"), "relayArea")
        area.forceActiveFocus()
        keyClick(Qt.Key_Space)
        compare(Store.toast, "No access to this relay") // Guest House shares only relay 1
        verify(Store.toastIsError)
        compare(area.Accessible.name, "Relay 2, off")
        shot(view, "devices-keyboard-focus")

        // The Chat pill opens and closes the drawer over the tab; another pill closes it.
        mouseClick(pill(view, "Chat"))
        verify(view.chatDrawerOpen)
        compare(view.tab, 0)
        compare(findChild(view, "navBar").selection, 1)
        mouseClick(pill(view, "Chat"))
        verify(!view.chatDrawerOpen)
        compare(view.tab, 0)
        mouseClick(pill(view, "Chat"))
        mouseClick(pill(view, "History"))
        verify(!view.chatDrawerOpen)
        compare(view.tab, 2)
        compare(findChild(view, "navBar").selection, 2)
    }

    // A card's actions by the account's role on the box.
    function test_actionsByRole_data() { return Hub.rows("home-actions.json") }
    function test_actionsByRole(data) {
        const view = shown(home)
        const c = deviceCard(view, data.box)
        verify(c)
        if (data.tag === "owner") shot(view, "devices-with-boxes")
        for (const id of ["allOn", "allOff", "activity", "rename", "members", "remove"]) {
            const button = findChild(c, "action_" + id)
            compare(button ? button.text : undefined, data.actions[id], id)
        }
    }

    // Leaving asks first, in a dialog made for the question: Cancel keeps the box, the
    // button removes it.
    function test_leaveAsksFirst() {
        const view = shown(home)
        const c = deviceCard(view, "Guest House")
        mouseClick(findChild(c, "action_remove"))
        let dialog = null
        tryVerify(() => (dialog = findChild(c, "confirmDialog")) && dialog.opened, 3000)
        compare(dialog.title, "Leave Guest House?")
        waitForRendering(view)
        shot(view, "devices-leave-confirm")
        mouseClick(findChild(dialog.footer, "confirmCancel"))
        tryVerify(() => !findChild(c, "confirmDialog"), 3000)
        verify(deviceCard(view, "Guest House") === c)

        mouseClick(findChild(c, "action_remove"))
        tryVerify(() => (dialog = findChild(c, "confirmDialog")) && dialog.opened, 3000)
        waitForRendering(view) // the footer row places its buttons on the next polish
        mouseClick(findChild(dialog.footer, "confirmRemove"))
        tryVerify(() => deviceCard(view, "Guest House") === null, 5000)
        Hub.reset()
        verify(Hub.signInDemo())
    }

    // Saving names unchanged sends nothing. Pushes change rows in place: a rename being typed
    // survives another box switching and a box being added, and a state push switches the
    // tiles that are there, not new ones.
    function test_renameEditorAndPushes() {
        const view = shown(home)
        const card = deviceCard(view, "Living Room")
        mouseClick(findChild(card, "action_rename"))
        verify(card.editing)
        shot(view, "devices-editing")
        const before = requestCount("PUT", "/v1/device/")
        mouseClick(findChild(card, "action_save"))
        verify(!card.editing)
        wait(150)
        compare(requestCount("PUT", "/v1/device/"), before)
        compare(Store.hasToast, false)

        const fan = relayTile(card, "Fan")
        const fanWasOn = fan.relay.on
        mouseClick(findChild(card, "action_rename"))
        waitForRendering(view)
        const field = findChild(card, "relayNameField_1")
        mouseClick(field)
        keyClick(Qt.Key_End)
        keyClick(Qt.Key_Space)
        keyClick(Qt.Key_2)
        compare(field.text, "Fan 2")

        Store.allRelays(2, true) // Study: the cloud pushes its state
        tryVerify(() => relayTile(deviceCard(view, "Study"), "Relay 1").relay.on)
        const added = Hub.post("/dev/devices", { owner: "+919876543210", name: "Attic", relay_count: 1 })
        tryVerify(() => deviceCard(view, "Attic") !== null)
        verify(deviceCard(view, "Living Room") === card, "the card is the one being edited")
        verify(card.editing)
        compare(findChild(card, "relayNameField_1").text, "Fan 2")
        mouseClick(findChild(card, "action_cancel"))

        Store.setRelay(1, 1, !fanWasOn)
        tryVerify(() => relayTile(card, "Fan").relay.on === !fanWasOn)
        waitForRendering(view)
        verify(relayTile(card, "Fan") === fan, "the tile is the one that was there")
        Store.setRelay(1, 1, fanWasOn)
        Store.allRelays(2, false)
        Store.forgetDevice(added.device.id)
        tryVerify(() => deviceCard(view, "Attic") === null)
    }

    // A new account, connected, with nothing yet: the quiet card instead of a grid, and the
    // history and the saved conversations say so instead of showing empty lists.
    function test_emptyAccountIsQuiet() {
        verify(Hub.signInAs("+919800000777", 0))
        const view = shown(home)
        verify(findChild(view, "emptyCard").visible)
        verify(!findChild(view, "skeleton").visible)
        shot(view, "devices-empty")

        const history = createTemporaryObject(historyTab, tc)
        tryVerify(() => !App.history.loading, 5000)
        tryVerify(() => findChild(history, "historyEmpty").visible, 5000)
        compare(findChild(history, "historyEmpty").text, "Nothing here yet.")
        shot(history, "history-empty")

        const chat = createTemporaryObject(chatTab, tc, { showThreadsList: true })
        tryVerify(() => findChild(findChild(chat, "threadsPanel"), "threadsEmpty").visible, 5000)
        shot(chat, "chat-conversations-empty")
        verify(Hub.signInDemo())
    }

    // Skills load when the account tab shows. Swiggy's Connect goes to the sign-in (which has
    // no browser here, so it says so) and frees the button again; another skill only flickers.
    function test_accountSkills() {
        const view = shown(home)
        mouseClick(pill(view, "Account"))
        tryVerify(() => findChild(view, "skill_swiggy") !== null, 5000)
        // Rows from an earlier load show at once and are rebuilt when this load ends; click after it.
        tryVerify(() => !Store.skillsLoading, 5000)
        const swiggy = findChild(view, "skill_swiggy")
        compare(findChild(swiggy, "skillState").text, "Not connected")
        const connect = findChild(swiggy, "skillButton")
        compare(connect.text, "Connect")
        mouseClick(connect)
        tryCompare(Store, "toast", "Could not start auth session", 5000)
        tryVerify(() => connect.enabled)
        const before = requestCount("POST", "/v1/skills/")
        const reminders = findChild(view, "skill_reminders")
        mouseClick(findChild(reminders, "skillButton"))
        verify(reminders.busy)
        tryVerify(() => !reminders.busy)
        compare(requestCount("POST", "/v1/skills/"), before)
        compare(findChild(view, "accountConn").text, "Connected to cloud")
        shot(view, "account-skills")
    }

    function accountTab() {
        const view = shown(home)
        mouseClick(pill(view, "Account"))
        const tab = findChild(view, "accountTab")
        tryVerify(() => !Store.skillsLoading && tab.contentHeight > tab.height, 5000)
        waitForRendering(view)
        tab.contentY = tab.contentHeight - tab.height // the switches sit near the end
        waitForRendering(view)
        return [view, tab]
    }

    // The switch shows what the desktop's autostart folder holds, each time: on adds the
    // entry, off removes it, and a change the desktop refuses springs back.
    function test_launchAtLogin() {
        const [view, tab] = accountTab()
        const sw = findChild(tab, "launchAtLogin")
        verify(!sw.checked)
        verify(!Hub.autostartEntryExists())
        mouseClick(sw)
        verify(sw.checked)
        verify(Hub.autostartEntryExists())
        wait(200) // the knob slides over
        shot(view, "account-switches")
        mouseClick(sw)
        verify(!sw.checked)
        verify(!Hub.autostartEntryExists())
        verify(Hub.blockAutostart(true))
        mouseClick(sw)
        verify(!sw.checked, "a refused change springs back")
        verify(!Hub.autostartEntryExists())
        verify(Hub.blockAutostart(false))
    }

    // A clicked desktop notification: from any tab, with the drawer open, to the box's card.
    function test_notificationRevealsTheBox() {
        const [view, tab] = accountTab()
        mouseClick(findChild(tab, "notify_relays"))
        verify(Notifications.relays)
        mouseClick(findChild(tab, "notify_relays"))
        verify(!Notifications.relays)
        mouseClick(pill(view, "Chat"))
        verify(view.chatDrawerOpen)
        Store.deviceRevealRequested(String(Hub.get("/dev/state").boxes.find(b => b.name === "Guest House").id))
        compare(view.tab, 0)
        verify(!view.chatDrawerOpen)
        waitForRendering(view)
        tryVerify(() => deviceCard(view, "Guest House").activeFocus)
    }

    // Pointing the app at a local server signs out, since the session belongs to the other cloud.
    function test_localServerSignsOut() {
        const [view, tab] = accountTab()
        const sw = findChild(tab, "useLocalServer")
        verify(!sw.checked)
        mouseClick(sw)
        verify(sw.checked)
        tryCompare(Store, "screenName", "auth", 5000)
        compare(Store.conn, 0)
        mouseClick(sw) // back to the development cloud this suite runs against
        verify(!sw.checked)
        verify(Hub.signInDemo())
    }
}
