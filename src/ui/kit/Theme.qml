pragma Singleton
import QtQuick

// One place for colours, spacing and type. Sizes are in device-independent pixels, so the
// screens scale with the display's scale factor.
QtObject {
    // Whether drawn controls light up under the pointer, as Controls decide it. Read through a
    // var: qmllint in Qt 6.4 types Qt.styleHints as a bare QObject.
    readonly property var styleHints: Qt.styleHints
    readonly property bool hoverEffects: styleHints.useHoverEffects
    readonly property color bg: "#0b0d10"
    readonly property color surface: "#14181d"
    readonly property color surfaceHigh: "#1b2027"
    readonly property color inset: "#0f1216"
    readonly property color stroke: "#262c34"
    readonly property color strokeStrong: "#343b45"
    readonly property color text: "#f2f4f7"
    readonly property color textDim: "#a3acb7"
    readonly property color textFaint: "#6b7480"
    readonly property color accent: "#f5c542"
    readonly property color accentText: "#14110a"
    readonly property color online: "#3ddc84"
    readonly property color connecting: "#f5a524"
    readonly property color offline: "#6b7480"
    readonly property color danger: "#ff5c5c"
    readonly property color dangerSoft: "#3a1d1f"
    readonly property color dotGrid: "#1a1f26"

    readonly property int radiusCard: 20
    readonly property int radiusField: 12
    readonly property int radiusPill: 999

    readonly property int s1: 4
    readonly property int s2: 8
    readonly property int s3: 12
    readonly property int s4: 16
    readonly property int s5: 24
    readonly property int s6: 32

    readonly property int fontTitle: 26
    readonly property int fontHeading: 18
    readonly property int fontBody: 15
    readonly property int fontSmall: 13
    readonly property int fontCaption: 11

    readonly property int controlHeight: 46
    readonly property int contentMaxWidth: 1180

    // SpringAnimation's parameters for a spring stated as design tools state it: response
    // (seconds per oscillation) and damping fraction. SpringAnimation steps every 16 ms with
    // v += spring·Δx − damping·v and x += v·0.016 s: per second a mass-1 spring of stiffness
    // spring/0.016 and damping damping/0.016. Natural frequency ω = 2π/response and damping
    // fraction ζ need stiffness ω² and damping 2ζω, scaled back by the step.
    function springStiffness(response: real): real {
        const omega = 2 * Math.PI / response
        return omega * omega * 0.016
    }
    function springDamping(response: real, dampingFraction: real): real {
        return 2 * dampingFraction * (2 * Math.PI / response) * 0.016
    }
}
