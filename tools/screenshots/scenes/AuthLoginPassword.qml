import "auth"

// The password login view.
AuthScene {
    view: "password"
}
