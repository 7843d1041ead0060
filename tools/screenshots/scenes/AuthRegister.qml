import "auth"

// The registration view with the code countdown running.
AuthScene {
    view: "register"
}
