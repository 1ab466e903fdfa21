import QtQuick
import QtTest
import Tavo.Kit
import Tavo.Chat

// The voice overlay: each state from a scripted voice socket, and one real spoken exchange
// through a virtual microphone and a null sink that ends by closing the overlay.
ScreenCase {
    id: tc
    name: "Voice"

    Component { id: overlay; VoiceOverlayView { anchors.fill: parent } }
    SignalSpy { id: closed; signalName: "closeRequested" }
    Component {
        id: overBrightTab
        Item {
            anchors.fill: parent
            Rectangle { anchors.fill: parent; color: "#ff0000" } // a tab as loud as one can be
            VoiceOverlayView { anchors.fill: parent }
        }
    }

    function initTestCase() {
        if (!Hub.hasSound()) skip("no sound server or espeak-ng here")
        Hub.reset()
        verify(Hub.signInDemo())
    }
    function init() { closed.clear() }

    function opened(script) {
        if (script) Hub.post("/dev/voice/script", script)
        const view = shown(overlay)
        closed.target = view
        return view
    }
    function session(view) { return findChild(view, "voiceSession") }
    function label(view) { return findChild(view, "voiceLabel").text }

    // Each state from the scripted frames "onOpen" and, once the orb is tapped ("tap"), "onStop";
    // closed with the button or ("escape") the key, which lets the microphone go at once.
    function test_states_data() { return Hub.rows("voice-states.json") }
    function test_states(data) {
        const script = { on_open: data.onOpen }
        if (data.onStop) script.on_stop = data.onStop
        const view = opened(script)
        tryCompare(session(view), "state", data.tap ? 1 : data.state, 5000)
        if (data.tap || data.escape) // heard something: connected and sending
            tryVerify(() => Hub.get("/dev/voice/last").binary_frames > 0, 10000)
        if (data.tap) {
            mouseClick(findChild(view, "voiceOrb"))
            tryCompare(session(view), "state", data.state, 5000)
        }
        tryCompare(session(view), "heard", data.heard, 5000)
        compare(session(view).spoken, data.spoken)
        compare(label(view), data.label)
        compare(findChild(view, "voiceHint").text, data.hint)
        compare(findChild(view, "voiceError").visible, data.state === 4)
        if (data.state === 4) compare(findChild(view, "voiceError").text, "Recognizer unavailable")
        wait(300) // the orb's animation under way
        shot(view, "voice-" + data.tag)
        if (data.escape)
            keyClick(Qt.Key_Escape)
        else
            mouseClick(findChild(view, "voiceClose"))
        compare(closed.count, 1)
        compare(session(view).state, 0) // closing cancels: nothing outlives the overlay
        if (data.escape) // the server was told
            tryVerify(() => Hub.get("/dev/voice/last").texts.indexOf("{\"type\":\"cancel\"}") >= 0, 5000)
    }

    // The whole way: speech into the microphone, recognised by the cloud, the lamp switched,
    // the answer played, and the overlay closing itself once it has been heard.
    function test_spokenExchangeClosesTheOverlay() {
        verify(!relayOnInCloud(1, 2))
        const view = opened(null)
        const voice = session(view)
        compare(voice.state, 1)
        tryVerify(() => Hub.get("/dev/voice/last").binary_frames > 0, 10000) // the cloud is listening
        verify(Hub.speak("turn on the lamp"))
        wait(400) // the last of it reaches the capture
        mouseClick(findChild(view, "voiceOrb")) // done speaking
        tryCompare(voice, "state", 3, 15000)
        verify(voice.heard.indexOf("lamp") >= 0, voice.heard)
        verify(voice.spoken !== "")
        shot(view, "voice-answer")
        tryCompare(voice, "state", 0, 15000)
        closed.wait(3000) // 0.9 s after the answer ends
        compare(closed.count, 1)
        verify(relayOnInCloud(1, 2))
    }

    // Nothing of the screen underneath shows through the overlay.
    function test_opaque() {
        Hub.post("/dev/voice/script", { on_open: [{ type: "ready" }] })
        const view = shown(overBrightTab)
        const image = grabImage(view)
        compare(String(image.pixel(5, view.height - 5)), String(Theme.bg))
    }
}
