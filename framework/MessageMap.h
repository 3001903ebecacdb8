// Message maps: each class that handles window messages lists them in a table of typed entries,
//
//     BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//         ON_WM_TIMER()
//         ON_BN_CLICKED(IDC_GO, &CMyDlg::OnGo)
//     END_MESSAGE_MAP()
//
// and declares DECLARE_MESSAGE_MAP() in its class. Each entry holds a plain function (a thunk) generated for
// that one handler, so a handler of the wrong signature does not compile and no member pointer is ever cast.
// A message that no entry of the class matches is looked up in the base class's map, and so on up to CWnd;
// a message that no map handles gets the window's default handling.
#pragma once

#include "framework/AfxCore.h"

#include <type_traits>

typedef LRESULT (*AFX_MSG_THUNK)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // window message
    UINT nCode;    // WM_COMMAND only: notification code (BN_CLICKED is 0, as is a menu command)
    UINT nID;      // WM_COMMAND only: control or command id
    AFX_MSG_THUNK pfnThunk;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_thunk {

template <class Member> struct MemberOf;
template <class Class, class Function> struct MemberOf<Function Class::*> {
    using ClassType = Class;
    using FunctionType = Function;
};

// Checks at compile time that F is a member of T (or of a base of T) with the signature Expected.
template <class T, auto F, class Expected> constexpr bool CheckHandler() {
    using M = MemberOf<decltype(F)>;
    static_assert(std::is_same<typename M::FunctionType, Expected>::value,
                  "message handler has the wrong signature for its message map entry");
    static_assert(std::is_base_of<typename M::ClassType, T>::value,
                  "message handler is not a member of the class or of one of its bases");
    return true;
}

// The map of class T is consulted only for objects whose class is T or derives from it, so the downcast
// is exact.
template <class T> T* Self(CWnd* pWnd) noexcept {
    return static_cast<T*>(pWnd);
}

template <class T, auto F> LRESULT Command(CWnd* pWnd, WPARAM, LPARAM) {
    static_assert(CheckHandler<T, F, void()>());
    (Self<T>(pWnd)->*F)();
    return 0;
}

template <class T, auto F> LRESULT Message(CWnd* pWnd, WPARAM wParam, LPARAM lParam) {
    static_assert(CheckHandler<T, F, LRESULT(WPARAM, LPARAM)>());
    return (Self<T>(pWnd)->*F)(wParam, lParam);
}

template <class T, auto F> LRESULT Timer(CWnd* pWnd, WPARAM wParam, LPARAM) {
    static_assert(CheckHandler<T, F, void(UINT_PTR)>());
    (Self<T>(pWnd)->*F)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <class T, auto F> LRESULT Paint(CWnd* pWnd, WPARAM, LPARAM) {
    static_assert(CheckHandler<T, F, void()>());
    (Self<T>(pWnd)->*F)();
    return 0;
}

template <class T, auto F> LRESULT SysCommand(CWnd* pWnd, WPARAM wParam, LPARAM lParam) {
    static_assert(CheckHandler<T, F, void(UINT, LPARAM)>());
    (Self<T>(pWnd)->*F)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <class T, auto F> LRESULT QueryEndSession(CWnd* pWnd, WPARAM, LPARAM) {
    static_assert(CheckHandler<T, F, BOOL()>());
    return (Self<T>(pWnd)->*F)();
}

template <class T, auto F> LRESULT EndSession(CWnd* pWnd, WPARAM wParam, LPARAM) {
    static_assert(CheckHandler<T, F, void(BOOL)>());
    (Self<T>(pWnd)->*F)(static_cast<BOOL>(wParam));
    return 0;
}

template <class T, auto F> LRESULT QueryDragIcon(CWnd* pWnd, WPARAM, LPARAM) {
    static_assert(CheckHandler<T, F, HCURSOR()>());
    return reinterpret_cast<LRESULT>((Self<T>(pWnd)->*F)());
}

// Defined in CWnd.h: runs the handler on a CDC that borrows the message's DC.
template <class T, auto F> LRESULT EraseBkgnd(CWnd* pWnd, WPARAM wParam, LPARAM lParam);

} // namespace afx_thunk

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const AFX_MSGMAP* GetThisMessageMap();                                                            \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                        \
        typedef theClass ThisClass;                                                                          \
        typedef baseClass TheBaseClass;                                                                      \
        static_assert(std::is_base_of<TheBaseClass, ThisClass>::value,                                       \
                      "BEGIN_MESSAGE_MAP names a base that the class does not derive from");                 \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                    \
    { 0, 0, 0, nullptr }                                                                                     \
    }                                                                                                        \
    ;                                                                                                        \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};            \
    return &messageMap;                                                                                      \
    }

#define ON_WM_TIMER() {WM_TIMER, 0, 0, &afx_thunk::Timer<ThisClass, &ThisClass::OnTimer>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &afx_thunk::Paint<ThisClass, &ThisClass::OnPaint>},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, &afx_thunk::SysCommand<ThisClass, &ThisClass::OnSysCommand>},
#define ON_WM_QUERYDRAGICON()                                                                                \
    {WM_QUERYDRAGICON, 0, 0, &afx_thunk::QueryDragIcon<ThisClass, &ThisClass::OnQueryDragIcon>},
#define ON_WM_ERASEBKGND() {WM_ERASEBKGND, 0, 0, &afx_thunk::EraseBkgnd<ThisClass, &ThisClass::OnEraseBkgnd>},
#define ON_WM_QUERYENDSESSION()                                                                              \
    {WM_QUERYENDSESSION, 0, 0, &afx_thunk::QueryEndSession<ThisClass, &ThisClass::OnQueryEndSession>},
#define ON_WM_ENDSESSION() {WM_ENDSESSION, 0, 0, &afx_thunk::EndSession<ThisClass, &ThisClass::OnEndSession>},
// memberFxn: void Handler()
#define ON_COMMAND(id, memberFxn)                                                                            \
    {WM_COMMAND, 0, static_cast<UINT>(id), &afx_thunk::Command<ThisClass, memberFxn>},
#define ON_BN_CLICKED(id, memberFxn)                                                                         \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), &afx_thunk::Command<ThisClass, memberFxn>},
// Any other window message. memberFxn: LRESULT Handler(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                                       \
    {static_cast<UINT>(message), 0, 0, &afx_thunk::Message<ThisClass, memberFxn>},
// A message whose number the system gives out at run time (RegisterWindowMessage), held in nMessageVariable.
// The variable must have its value before the map is first consulted: a namespace-scope constant of the
// map's own file has, since the map's entries are made at the first message. memberFxn: LRESULT
// Handler(WPARAM, LPARAM)
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                                   \
    {static_cast<UINT>(nMessageVariable), 0, 0, &afx_thunk::Message<ThisClass, memberFxn>},
