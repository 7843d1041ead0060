import QtQuick

// Registration with an SMS code; a new account starts with a VIP trial.
PasswordForm {
    id: view

    signal submit(string phone, string code, string password, string confirmation, bool agreed)

    passwordPlaceholder: "设置密码（至少 6 位）"
    confirmPlaceholder: "确认密码"
    passwordLength: 20
    submitText: "注 册"
    backLead: "已有账号？"
    onSubmitted: submit(phoneText, codeText, passwordText, confirmText, agree)
}
