import QtQuick
import QtTest
import Tavo.Store
import Tavo.Chat
import Tavo

// The chat against the development cloud: the greeting and chips on the demo account, a turn
// from the composer, scripted replies (a tool caption, an error) and the saved conversations.
ScreenCase {
    id: tc
    name: "Chat"

    Component { id: chatTab; ChatView { anchors.fill: parent } }
    Component { id: home; HomeView { } }

    function initTestCase() { Hub.reset(); verify(Hub.signInDemo()) }
    function init() { Store.newChatThread() }

    function list(view) { return findChild(view, "messageList") }
    function bubbles(view) {
        return kids(list(view).contentItem, b => b.content !== undefined && b.objectName !== "greeting")
            .sort((a, b) => a.y - b.y)
    }
    function chipLabels(view) { return kids(findChild(view, "quickChips"), c => c.text !== undefined).map(c => c.text) }
    // The food skill connected on the cloud's next skills list, and reloaded.
    function connectFood() {
        Hub.post("/dev/answer-next", { method: "GET", path: "/v1/skills", status: 200,
            body: JSON.stringify({ ok: true, skills: [
                { id: "swiggy", name: "Swiggy", description: "Order food and groceries", provider: "Swiggy", connected: true },
                { id: "reminders", name: "Reminders", description: "Timers and reminders", provider: "Tavo", connected: false }] }) })
        Store.loadSkills()
        tryVerify(() => !Store.skillsLoading, 5000)
    }
    function rowsOf(rows) { return kids(rows.contentItem, r => r.thread) }
    function overlaps(a, b, within) {
        const p = a.mapToItem(within, 0, 0), q = b.mapToItem(within, 0, 0)
        return p.x < q.x + b.width && q.x < p.x + a.width && p.y < q.y + b.height && q.y < p.y + a.height
    }

    // The rules are tested in C++; this proves the screen shows them, with food on.
    function test_greetingAndChips() {
        const hour = App.chat.hour
        App.chat.hour = 13
        const view = shown(chatTab)
        tryVerify(() => !Store.skillsLoading, 5000) // the chat loads the skills when it shows
        connectFood()
        waitForRendering(view)
        const greeting = findChild(view, "greeting").content
        compare(greeting, "Good afternoon.\n\nI can control your 3 boxes, order food/groceries. Tap a chip below or just ask.")
        compare(JSON.stringify(chipLabels(view)),
                JSON.stringify(["Order lunch", "Show my saved addresses", "Toggle Fan", "Toggle Lamp"]))
        shot(view, "chat-greeting-h13-food")
        App.chat.hour = hour
    }

    // What a person does: types, sends, and the reply streams into one bubble and switches the lamp.
    function test_turnFromComposer() {
        const view = shown(chatTab)
        const composer = findChild(view, "composer")
        const send = findChild(view, "sendButton")
        verify(!send.enabled)
        typeInto(composer, "   ")
        verify(!send.enabled) // blank text is not a message
        composer.text = ""; view.draft = ""
        verify(!relayOnInCloud(1, 2))
        typeInto(composer, "turn on the lamp")
        verify(send.enabled)
        let most = 0
        const counting = () => { most = Math.max(most, list(view).count) }
        list(view).countChanged.connect(counting)
        mouseClick(send)
        compare(view.draft, "")
        verify(Store.chatBusy)
        view.draft = "and the fan" // a second line while the reply streams waits for it
        verify(!send.enabled)
        view.draft = ""
        tryVerify(() => !Store.chatBusy, 10000)
        list(view).countChanged.disconnect(counting)
        compare(most, 2) // the user's line and one reply, however many pieces it came in
        compare(list(view).count, 2)
        verify(relayOnInCloud(1, 2))
        waitForRendering(view)
        const [mine, reply] = bubbles(view)
        verify(mine.isUser)
        compare(mine.content, "turn on the lamp")
        verify(!reply.isUser && !reply.err)
        verify(reply.content.indexOf("Lamp") >= 0, "reply: " + reply.content)
        compare(findChild(reply, "firedCaption").text, "") // chat replies report no count of their own
        verify(!findChild(reply, "firedCaption").visible)
        shot(view, "chat-reply")
        Hub.post("/dev/chat/next", { chunks: ["data: {\"type\":\"text\",\"delta\":\"ok\"}\n\n"] })
        typeInto(composer, "turn off the lamp")
        keyClick(Qt.Key_Return)
        tryVerify(() => !Store.chatBusy, 10000)
        compare(list(view).count, 4)
    }

    // A tool running shows its caption instead of the typing dots; the reply then grows in
    // one bubble, piece by piece. A refused turn's bubble is marked as an error.
    function test_streamingReplyWithCaption() {
        const view = shown(chatTab)
        Hub.post("/dev/chat/next", { pause_ms: 700, chunks: [
            "data: {\"type\":\"tool\",\"tool\":\"swiggy_food_search\"}\n\n",
            "data: {\"type\":\"text\",\"delta\":\"Found three biryani places near you: \"}\n\n",
            "data: {\"type\":\"text\",\"delta\":\"Paradise, Bawarchi and Shah Ghouse.\"}\n\n"] })
        Store.sendChat("find biryani")
        verify(findChild(view, "typingRow").visible)
        const live = findChild(view, "liveStatus")
        tryVerify(() => live.visible, 3000)
        compare(live.text, "Searching Swiggy Food…")
        verify(!findChild(view, "typingRow").visible)
        shot(view, "chat-tool-caption")
        tryCompare(list(view), "count", 2, 3000)
        verify(!live.visible)
        compare(bubbles(view)[1].content, "Found three biryani places near you: ")
        shot(view, "chat-streaming")
        tryVerify(() => !Store.chatBusy, 5000)
        compare(list(view).count, 2)
        compare(bubbles(view)[1].content, "Found three biryani places near you: Paradise, Bawarchi and Shah Ghouse.")

        Hub.post("/dev/chat/next", { error: "The assistant is unavailable right now." })
        Store.sendChat("hello")
        tryVerify(() => !Store.chatBusy, 10000)
        waitForRendering(view)
        const last = bubbles(view).pop()
        verify(last.err, JSON.stringify(bubbles(view).map(b => [b.content, b.err, b.y])))
        compare(last.content, "The assistant is unavailable right now.")
        shot(view, "chat-error")
    }

    // Opening a saved conversation replaces what the chat shows with its messages.
    function test_openSavedConversation() {
        Hub.post("/dev/chat/thread", { phone: "+919876543210", title: "Evening lights", messages: [
            { role: "user", content: "dim the lamp at sunset" },
            { role: "assistant", content: "I'll remind you at sunset." }] })
        const view = shown(chatTab)
        Store.sendChat("hi")
        tryVerify(() => !Store.chatBusy, 10000)
        compare(list(view).count, 2)
        mouseClick(findChild(view, "conversationsButton"))
        const panel = findChild(view, "threadsPanel")
        verify(panel.visible)
        const rows = findChild(panel, "threadsList")
        tryVerify(() => rows.visible && rows.count >= 2, 5000)
        waitForRendering(panel)
        shot(view, "chat-conversations")
        // The conversation begun here is listed, and marked as the open one.
        const active = rowsOf(rows).filter(r => r.isActive)
        compare(active.length, 1)
        compare(active[0].thread.id, Store.currentThreadID)
        const saved = rowsOf(rows).find(r => r.thread.title === "Evening lights")
        verify(saved)
        compare(findChild(saved, "threadStamp").text, "just now")
        mouseClick(saved)
        verify(!panel.visible)
        tryVerify(() => Store.currentThreadID === saved.thread.id, 5000)
        tryCompare(list(view), "count", 2, 5000)
        waitForRendering(view)
        const shownNow = bubbles(view).map(b => b.content)
        compare(JSON.stringify(shownNow), JSON.stringify(["dim the lamp at sunset", "I'll remind you at sunset."]))
    }

    // Delete asks first; Keep leaves the conversation, Delete removes it.
    function test_deleteAsksFirst() {
        Hub.post("/dev/chat/thread", { phone: "+919876543210", title: "To delete", messages: [
            { role: "user", content: "x" }, { role: "assistant", content: "y" }] })
        const view = shown(chatTab, { showThreadsList: true })
        const rows = findChild(findChild(view, "threadsPanel"), "threadsList")
        tryVerify(() => rows.visible && rowsOf(rows).some(r => r.thread.title === "To delete"), 5000)
        const before = rows.count
        waitForRendering(view)
        const row = rowsOf(rows).find(r => r.thread.title === "To delete")
        mouseClick(findChild(row, "deleteThread"))
        verify(row.confirming)
        waitForRendering(view)
        shot(view, "chat-conversation-delete")
        mouseClick(findChild(row, "keepThread"))
        verify(!row.confirming)
        wait(300)
        compare(rows.count, before) // nothing was sent
        mouseClick(findChild(row, "deleteThread"))
        mouseClick(findChild(row, "confirmDeleteThread"))
        tryCompare(rows, "count", before - 1, 5000)
        verify(!rowsOf(rows).some(r => r.thread.title === "To delete"))
    }

    // The drawer over the devices, at this size and at the window's minimum width: what is
    // typed shows in a composer clear of the floating bars; Close chat closes it.
    function test_drawer_data() {
        return [ { tag: "shot size", width: tc.width, name: "chat-drawer" },
                 { tag: "minimum width", width: 380, name: "chat-drawer-narrow" } ]
    }
    function test_drawer(data) {
        const view = shown(home, { width: data.width, height: tc.height })
        mouseClick(findChild(view, "pill_Chat"))
        verify(view.chatDrawerOpen)
        tryCompare(view, "drawerProgress", 1, 3000)
        const drawer = findChild(view, "chatDrawer")
        tryVerify(() => drawer.item !== null, 3000)
        const composer = findChild(drawer.item, "composer")
        typeInto(composer, "dim the lamp")
        compare(composer.text, "dim the lamp")
        const nav = findChild(view, "navBar")
        verify(!overlaps(composer, nav, view), "the composer lies under the nav bar")
        verify(!overlaps(findChild(drawer.item, "sendButton"), nav, view), "the send button lies under the nav bar")
        for (const item of [nav].concat(["sendButton", "closeChat", "conversationsButton"].map(n => findChild(drawer.item, n)))) {
            const at = item.mapToItem(view, 0, 0)
            verify(at.x >= 0 && at.x + item.width <= view.width, item.objectName + " is cut off at " + view.width + " px")
        }
        waitForRendering(view)
        shot(view, data.name)
        const close = findChild(drawer.item, "closeChat")
        verify(close.visible)
        mouseClick(close)
        verify(!view.chatDrawerOpen)
    }

    // "play some jazz": the bar over the devices shows the track and where it plays, pauses
    // and resumes it, moves out of the way when dragged, and closing it stops the music.
    function test_musicBar() {
        const view = shown(home, { width: tc.width, height: tc.height })
        verify(!findChild(view, "musicBar"))
        Store.sendChat("play some jazz")
        tryVerify(() => findChild(view, "musicBar"), 10000)
        const bar = findChild(view, "musicBar")
        tryVerify(() => !Store.chatBusy, 10000)
        compare(findChild(bar, "musicTitle").text, "Jazz")
        if (Hub.hasSound()) {
            verify(findChild(bar, "audioOutput").count >= 1, "the null sink is an output")
            tryVerify(() => Store.musicPlaying, 5000)
            const toggle = findChild(bar, "musicToggle")
            compare(toggle.Accessible.name, "Pause")
            mouseClick(toggle)
            tryVerify(() => !Store.musicPlaying, 5000)
            compare(toggle.Accessible.name, "Play")
            mouseClick(toggle)
            tryVerify(() => Store.musicPlaying, 5000)
        }
        waitForRendering(view)
        shot(view, "music-bar")
        const title = findChild(bar, "musicTitle")
        mouseDrag(title, 10, 5, -60, -80)
        verify(bar.dragOffset.x < -30 && bar.dragOffset.y < -30, "dragged to " + bar.dragOffset)
        mouseClick(findChild(bar, "musicClose"))
        tryVerify(() => !findChild(view, "musicBar"))
        tryVerify(() => !Store.musicPlaying, 5000)
    }
}
