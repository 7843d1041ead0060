import QtQuick

// Password reset: the registered phone, the reset code and the new password typed twice. No agreement.
PasswordForm {
    id: view

    signal submit(string phone, string code, string password, string confirmation)

    phonePlaceholder: "请输入注册手机号"
    passwordPlaceholder: "新密码（至少 6 位，最长 72 字节）"
    confirmPlaceholder: "确认新密码"
    passwordLength: 72
    agreementVisible: false
    submitText: "修改密码"
    backLead: "想起密码了？"
    onSubmitted: submit(phoneText, codeText, passwordText, confirmText)
}
