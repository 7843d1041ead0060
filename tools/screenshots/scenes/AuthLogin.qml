import "auth"

// The SMS login view.
AuthScene {
    view: "login"
}
