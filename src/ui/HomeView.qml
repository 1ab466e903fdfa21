import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Devices
import Tavo

// The signed-in shell: the tab, the chat drawer over it, the music bar and nav bar at the
// bottom, and the voice overlay over everything.
Item {
    id: home
    property int tab: App.startTab // devices, chat, history, account
    property bool voiceOpen: false
    property bool chatDrawerOpen: false
    property real drawerProgress: chatDrawerOpen ? 1 : 0
    Behavior on drawerProgress { SpringAnimation { spring: Theme.springStiffness(0.42); damping: Theme.springDamping(0.42, 0.85); epsilon: 0.002 } }

    // The height the floating bars (nav, and music when it plays) take from the bottom.
    readonly property real barsInset: height - (musicBar.visible ? musicBar.y : nav.y) + Theme.s2

    function choose(t) {
        if (t === 1) { chatDrawerOpen = !chatDrawerOpen; return }
        chatDrawerOpen = false
        tab = t
    }

    // Every part below is loaded by URL when first shown, so a start-up compiles only what the
    // first frame shows (not the chat, voice or music screens).
    Loader {
        id: tabContent
        anchors.fill: parent
        source: ["Devices/DevicesTab.qml", "Chat/ChatView.qml", "Devices/HistoryTab.qml", "Account/AccountTab.qml"][home.tab]
        onLoaded: if (home.tab === 1) item.bottomInset = Qt.binding(() => home.barsInset)
    }

    // A clicked desktop notification: the devices tab, on that box's card.
    Connections {
        target: Store
        function onDeviceRevealRequested(idText) {
            home.chatDrawerOpen = false
            home.voiceOpen = false
            home.tab = 0
            reveal.idText = idText
            reveal.restart() // once the devices tab is in place
        }
    }
    Timer {
        id: reveal
        property string idText
        interval: 0
        onTriggered: (tabContent.item as DevicesTab).reveal(idText)
    }

    Shortcut {
        sequence: "Escape"
        enabled: home.chatDrawerOpen
        onActivated: home.chatDrawerOpen = false
    }

    // The chat drawer slides in from the right over the current tab.
    Rectangle {
        anchors.fill: parent
        color: "#000000"
        opacity: 0.45 * home.drawerProgress
        visible: home.drawerProgress > 0.01
        MouseArea { anchors.fill: parent; onClicked: home.chatDrawerOpen = false }
    }
    Loader {
        id: drawer
        objectName: "chatDrawer"
        width: Math.min(parent.width, 520)
        height: parent.height
        x: parent.width - width * home.drawerProgress
        visible: home.drawerProgress > 0.01
        active: visible
        // Where the drawer reaches over the bars (windows narrower than about 1180 px), its
        // composer sits above them.
        readonly property bool overBars: x < Math.max(nav.x + nav.width, musicBar.visible ? musicBar.x + musicBar.width : 0)
        source: "Chat/ChatDrawerOverlay.qml"
        onLoaded: item.bottomInset = Qt.binding(() => drawer.overBars ? home.barsInset : Theme.s4)
        Connections { target: drawer.item; function onCloseRequested() { home.chatDrawerOpen = false } }
    }

    // Made with the first track: the bar asks the player for its outputs, and the player
    // brings the media back end and the desktop's player controls with it.
    Loader {
        id: musicBar
        active: App.view.hasMusic
        visible: active
        source: "Chat/MusicPlayerBar.qml"
        width: Math.min(parent.width - 2 * Theme.s4, 460)
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: nav.top
        anchors.bottomMargin: Theme.s3
    }

    FloatingNavBar {
        id: nav
        objectName: "navBar"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.s4
        available: home.width - 2 * Theme.s2
        selection: home.chatDrawerOpen ? 1 : home.tab // the nav bar shows chat while the drawer is open
        voiceActive: home.voiceOpen
        onChosen: t => home.choose(t)
        onVoiceTap: home.voiceOpen = true
    }

    // The voice overlay exists only while open, so its session ends with it.
    Loader {
        id: voice
        objectName: "voiceOverlay"
        anchors.fill: parent
        active: home.voiceOpen
        source: "Chat/VoiceOverlayView.qml"
        Connections { target: voice.item; function onCloseRequested() { home.voiceOpen = false } }
    }
}
