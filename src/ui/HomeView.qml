import QtQuick
import Tavo

// The signed-in shell: the tab, the chat drawer over it, the music bar and nav bar at the
// bottom, and the voice overlay over everything.
Item {
    id: home
    property int tab: Rules.startTab() // devices, chat, history, account
    property bool voiceOpen: false
    property bool chatDrawerOpen: false
    property real drawerProgress: chatDrawerOpen ? 1 : 0
    Behavior on drawerProgress { SpringAnimation { spring: Rules.springStiffness(0.42); damping: Rules.springDamping(0.42, 0.85); epsilon: 0.002 } }

    // The height the floating bars (nav, and music when it plays) take from the bottom.
    readonly property real barsInset: height - (musicBar.visible ? musicBar.y : nav.y) + Theme.s2

    function choose(t) {
        if (t === 1) { chatDrawerOpen = !chatDrawerOpen; return }
        chatDrawerOpen = false
        tab = t
    }

    Loader {
        id: tabContent
        anchors.fill: parent
        sourceComponent: [devicesTab, chatTab, historyTab, accountTab][home.tab]
    }
    Component { id: devicesTab; DevicesTab {} }
    Component { id: chatTab; ChatView { asTab: true; bottomInset: home.barsInset } }
    Component { id: historyTab; HistoryTab {} }
    Component { id: accountTab; AccountTab {} }

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
        sourceComponent: ChatDrawerOverlay {
            bottomInset: drawer.overBars ? home.barsInset : Theme.s4
            onCloseRequested: home.chatDrawerOpen = false
        }
    }

    StoreView { id: view; store: Store }
    MusicPlayerBar {
        id: musicBar
        objectName: "musicBar"
        visible: view.hasMusic
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
        selection: Rules.navSelection(home.tab, home.chatDrawerOpen)
        voiceActive: home.voiceOpen
        onChosen: t => home.choose(t)
        onVoiceTap: home.voiceOpen = true
    }

    // The voice overlay exists only while open, so its session ends with it.
    Loader {
        objectName: "voiceOverlay"
        anchors.fill: parent
        active: home.voiceOpen
        sourceComponent: VoiceOverlayView { onCloseRequested: home.voiceOpen = false }
    }
}
