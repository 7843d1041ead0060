.pragma library

// Input rules of the sign-in dialog. Each form function returns the warning for the first failing
// check, or "" when the input may be sent; the dialog itself checks the service after these.

const phoneMessage = "请输入正确的 11 位手机号"
const codeRequestPhoneMessage = "请输入正确的 11 位大陆手机号（13-19 开头）"
const agreementMessage = "请先阅读并同意用户协议与隐私政策"
const mismatchMessage = "两次输入的密码不一致"
// The service hashes reset passwords with a 72-byte limit; longer ones would be cut silently.
const resetPasswordBytes = 72

function text(value) {
    return value === undefined || value === null ? "" : String(value)
}

function trimmed(value) {
    return text(value).trim()
}

function utf8Length(value) {
    let bytes = 0
    for (const ch of value) {
        const code = ch.codePointAt(0)
        bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4
    }
    return bytes
}

function validPhone(value) {
    return /^1[3-9]\d{9}$/.test(trimmed(value))
}

function validCode(value) {
    return trimmed(value) !== ""
}

function validResetCode(value) {
    return trimmed(value) !== ""
}

function validPassword(value) {
    return /^[^\s]{6,20}$/.test(text(value))
}

function validResetPassword(value) {
    const password = text(value)
    return /^[^\s]{6,72}$/.test(password) && utf8Length(password) <= resetPasswordBytes
}

function codeRequestError(phone) {
    return validPhone(phone) ? "" : codeRequestPhoneMessage
}

// The message of the first failing check; each check is [passes, message].
function firstFailure(checks) {
    const failed = checks.find(check => !check[0])
    return failed ? failed[1] : ""
}

function loginError(byPassword, phone, code, password, agreed) {
    return firstFailure([
        [validPhone(phone), phoneMessage],
        [!byPassword || text(password).length >= 6, "请输入至少 6 位密码"],
        [byPassword || validCode(code), "请输入短信验证码"],
        [agreed === true, agreementMessage]
    ])
}

// Registration and reset check the phone, the code, the new password and its confirmation in order.
function newPasswordError(phone, codeValid, codeMessage, passwordValid, passwordMessage, password, confirmation) {
    return firstFailure([
        [validPhone(phone), phoneMessage],
        [codeValid, codeMessage],
        [passwordValid, passwordMessage],
        [text(password) === text(confirmation), mismatchMessage]
    ])
}

function registrationError(phone, code, password, confirmation, agreed) {
    return newPasswordError(phone, validCode(code), "请输入短信验证码", validPassword(password),
                            "密码需 6-20 位，且不能包含空格", password, confirmation)
           || (agreed === true ? "" : agreementMessage)
}

function resetError(phone, code, password, confirmation) {
    return newPasswordError(phone, validResetCode(code), "请输入重置密码验证码", validResetPassword(password),
                            "新密码需 6-72 位，且不能包含空格", password, confirmation)
}
