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

    readonly property var ready: ({ type: "ready" })

    function test_states_data() {
        return [
            { tag: "listening", onOpen: [ready, { type: "transcript.partial", text: "turn on the" }], tap: false,
              state: 1, label: "LISTENING", hint: "TAP ORB WHEN DONE", heard: "turn on the", spoken: "" },
            { tag: "thinking", onOpen: [ready, { type: "transcript.partial", text: "turn on the fan" }], onStop: [], tap: true,
              state: 2, label: "EXECUTING", hint: "·  ·  ·", heard: "turn on the fan", spoken: "" },
            { tag: "speaking", onOpen: [ready], tap: true,
              onStop: [{ type: "transcript.final", text: "turn on the fan" },
                       { type: "response", transcript: "turn on the fan", text: "Fan is on in the Living Room.", fired: 1 },
                       { type: "tts.start" }, 48000, 48000, 48000, 48000],
              state: 3, label: "SPEAKING", hint: "·  ·  ·", heard: "turn on the fan", spoken: "Fan is on in the Living Room." },
            { tag: "error", onOpen: [{ type: "error", error: "Recognizer unavailable" }], tap: false,
              state: 4, label: "TRY AGAIN", hint: "TAP ORB TO SPEAK", heard: "", spoken: "" },
        ]
    }
    function test_states(data) {
        const script = { on_open: data.onOpen }
        if (data.onStop) script.on_stop = data.onStop
        const view = opened(script)
        tryCompare(session(view), "state", data.tap ? 1 : data.state, 5000)
        if (data.tap) {
            tryVerify(() => Hub.get("/dev/voice/last").binary_frames > 0, 10000) // heard something
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
        mouseClick(findChild(view, "voiceClose"))
        compare(closed.count, 1)
        compare(session(view).state, 0) // closing cancels: nothing outlives the overlay
    }

    // The whole way: speech into the microphone, recognised by the cloud, the lamp switched,
    // the answer played, and the overlay closing itself once it has been heard.
    function test_spokenExchangeClosesTheOverlay() {
        verify(!Hub.relayOnInCloud(1, 2))
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
        verify(Hub.relayOnInCloud(1, 2))
    }

    // Nothing of the screen underneath shows through the overlay.
    function test_opaque() {
        Hub.post("/dev/voice/script", { on_open: [ready] })
        const view = shown(overBrightTab)
        const image = grabImage(view)
        compare(String(image.pixel(5, view.height - 5)), String(Theme.bg))
    }

    // Escape closes from any state and the microphone is let go at once.
    function test_escapeCloses() {
        const view = opened({ on_open: [ready] })
        tryCompare(session(view), "state", 1, 5000)
        tryVerify(() => Hub.get("/dev/voice/last").binary_frames > 0, 10000) // connected and sending
        keyClick(Qt.Key_Escape)
        compare(closed.count, 1)
        compare(session(view).state, 0)
        tryVerify(() => Hub.get("/dev/voice/last").texts.indexOf("{\"type\":\"cancel\"}") >= 0, 5000) // the server was told
    }
}
