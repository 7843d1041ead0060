import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/auth/AuthValidation.js" as Validation

TestCase {
    name: "AuthValidation"

    function test_rules_data() {
        const x = n => "x".repeat(n)
        return [
            { tag: "phone 13", rule: "validPhone", value: "13800138000", valid: true },
            { tag: "phone 19 with blanks", rule: "validPhone", value: "  19912345678 ", valid: true },
            { tag: "phone second digit 2", rule: "validPhone", value: "12800138000", valid: false },
            { tag: "phone 10 digits", rule: "validPhone", value: "1380013800", valid: false },
            { tag: "phone 12 digits", rule: "validPhone", value: "138001380001", valid: false },
            { tag: "phone letters", rule: "validPhone", value: "1380013800a", valid: false },
            { tag: "phone missing", rule: "validPhone", value: undefined, valid: false },
            { tag: "code", rule: "validCode", value: " 123456 ", valid: true },
            { tag: "code blank", rule: "validCode", value: "   ", valid: false },
            { tag: "reset code blank", rule: "validResetCode", value: "", valid: false },
            { tag: "password 6", rule: "validPassword", value: x(6), valid: true },
            { tag: "password 20", rule: "validPassword", value: x(20), valid: true },
            { tag: "password 5", rule: "validPassword", value: x(5), valid: false },
            { tag: "password 21", rule: "validPassword", value: x(21), valid: false },
            { tag: "password with a space", rule: "validPassword", value: "abc def", valid: false },
            { tag: "password with an ideographic space", rule: "validPassword", value: "abc\u3000def", valid: false },
            { tag: "reset password 72", rule: "validResetPassword", value: x(72), valid: true },
            { tag: "reset password 73", rule: "validResetPassword", value: x(73), valid: false },
            { tag: "reset password with a tab", rule: "validResetPassword", value: "abcdef\tg", valid: false },
            // Counted in bytes as the placeholder promises: 24 Chinese characters are 72 bytes.
            { tag: "reset password 72 bytes of Chinese", rule: "validResetPassword", value: "密".repeat(24), valid: true },
            { tag: "reset password 75 bytes of Chinese", rule: "validResetPassword", value: "密".repeat(25), valid: false }
        ]
    }

    function test_rules(data) {
        compare(Validation[data.rule](data.value), data.valid)
    }

    // The first failing check wins; "" lets the request go.
    function test_forms_data() {
        const phone = "13800138000"
        return [
            { tag: "code request, bad phone", form: "codeRequestError", args: ["12800138000"],
              error: "请输入正确的 11 位大陆手机号（13-19 开头）" },
            { tag: "code request", form: "codeRequestError", args: [phone], error: "" },
            { tag: "login, bad phone before all", form: "loginError", args: [true, "1", "", "", false],
              error: "请输入正确的 11 位手机号" },
            { tag: "login, short password", form: "loginError", args: [true, phone, "", "12345", false],
              error: "请输入至少 6 位密码" },
            { tag: "login, password mode ignores the code", form: "loginError", args: [true, phone, "", "123456", true],
              error: "" },
            { tag: "login, no code", form: "loginError", args: [false, phone, " ", "", false], error: "请输入短信验证码" },
            { tag: "login, not agreed", form: "loginError", args: [false, phone, "1234", "", false],
              error: "请先阅读并同意用户协议与隐私政策" },
            { tag: "login sms", form: "loginError", args: [false, phone, "1234", "", true], error: "" },
            { tag: "register, bad phone", form: "registrationError", args: ["", "", "", "", false],
              error: "请输入正确的 11 位手机号" },
            { tag: "register, no code", form: "registrationError", args: [phone, "", "", "", false],
              error: "请输入短信验证码" },
            { tag: "register, password with a space", form: "registrationError", args: [phone, "1", "abc def", "abc def", true],
              error: "密码需 6-20 位，且不能包含空格" },
            { tag: "register, 21 characters", form: "registrationError", args: [phone, "1", "a".repeat(21), "a".repeat(21), true],
              error: "密码需 6-20 位，且不能包含空格" },
            { tag: "register, mismatch", form: "registrationError", args: [phone, "1", "abcdef", "abcdeg", false],
              error: "两次输入的密码不一致" },
            { tag: "register, not agreed", form: "registrationError", args: [phone, "1", "abcdef", "abcdef", false],
              error: "请先阅读并同意用户协议与隐私政策" },
            { tag: "register", form: "registrationError", args: [phone, "1", "abcdef", "abcdef", true], error: "" },
            { tag: "reset, bad phone", form: "resetError", args: ["1380013800", "", "", ""],
              error: "请输入正确的 11 位手机号" },
            { tag: "reset, no code", form: "resetError", args: [phone, "", "", ""], error: "请输入重置密码验证码" },
            { tag: "reset, short password", form: "resetError", args: [phone, "1", "abc", "abc"],
              error: "新密码需 6-72 位，且不能包含空格" },
            { tag: "reset, mismatch", form: "resetError", args: [phone, "1", "a".repeat(72), "a".repeat(71)],
              error: "两次输入的密码不一致" },
            { tag: "reset needs no agreement", form: "resetError", args: [phone, "1", "a".repeat(72), "a".repeat(72)],
              error: "" }
        ]
    }

    function test_forms(data) {
        compare(Validation[data.form].apply(null, data.args), data.error)
    }
}
