import "auth"

// The password reset view.
AuthScene {
    view: "forgot"
}
