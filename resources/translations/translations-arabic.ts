<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ar_SA">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About</source>
        <translation>حول</translation>
    </message>
    <message>
        <source>Version 1.1.34</source>
        <translation>الإصدار 1.1.34</translation>
    </message>
    <message>
        <source>Last Updated: 08 January 2025</source>
        <translation>آخر تحديث: 08 يناير 2025</translation>
    </message>
    <message>
        <source>End-user license agreement</source>
        <translation>اتفاقية ترخيص المستخدم النهائي</translation>
    </message>
</context>
<context>
    <name>ChangePasswordDlg</name>
    <message>
        <source>Change Password</source>
        <translation>تغيير كلمة المرور</translation>
    </message>
    <message>
        <source>Main Password</source>
        <translation>كلمة المرور الرئيسية</translation>
    </message>
    <message>
        <source>Read-Only Password</source>
        <translation>كلمة مرور القراءة فقط</translation>
    </message>
    <message>
        <source>Main Password:</source>
        <translation>كلمة المرور الرئيسية:</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>كلمة المرور الجديدة:</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>تأكيد كلمة المرور:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>موافق</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>إلغاء</translation>
    </message>
    <message>
        <source>Main password is not correct!</source>
        <translation>كلمة المرور الرئيسية غير صحيحة!</translation>
    </message>
    <message>
        <source>New password does not match!</source>
        <translation>كلمة المرور الجديدة غير متطابقة!</translation>
    </message>
    <message>
        <source>New password can not be empty!</source>
        <translation>لا يمكن أن تكون كلمة المرور الجديدة فارغة!</translation>
    </message>
    <message>
        <source>Error occured!</source>
        <translation>حدث خطأ!</translation>
    </message>
    <message>
        <source>Password changed successfully!</source>
        <translation>تم تغيير كلمة المرور بنجاح!</translation>
    </message>
</context>
<context>
    <name>ChartObjectListDialog</name>
    <message>
        <source>Dialog</source>
        <translation>مربع حوار</translation>
    </message>
    <message>
        <source>Object List</source>
        <translation>قائمة الكائنات</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>حذف</translation>
    </message>
    <message>
        <source>Delete all</source>
        <translation>حذف الكل</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>إغلاق</translation>
    </message>
</context>
<context>
    <name>ClientLanguage</name>
    <message>
        <source>Turkish</source>
        <translation>التركية</translation>
    </message>
    <message>
        <source>English</source>
        <translation>الإنجليزية</translation>
    </message>
    <message>
        <source>Arabic</source>
        <translation>العربية</translation>
    </message>
    <message>
        <source>Languages</source>
        <translation>اللغات</translation>
    </message>
</context>
<context>
    <name>Client_Terminal</name>
    <message>
        <source>KESTRAL</source>
        <translation>KESTRAL</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ملف</translation>
    </message>
    <message>
        <source>View</source>
        <translation>عرض</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>إدراج</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>الرسوم البيانية</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>أدوات</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>مساعدة</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>الاتصال</translation>
    </message>
    <message>
        <source>Drawing</source>
        <translation>الرسم</translation>
    </message>
    <message>
        <source>Timeframes</source>
        <translation>الأطر الزمنية</translation>
    </message>
    <message>
        <source>Market Watch</source>
        <translation>مراقبة السوق</translation>
    </message>
    <message>
        <source>Search symbol</source>
        <translation>البحث عن رمز</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>الرمز</translation>
    </message>
    <message>
        <source>Bid</source>
        <translation>العرض</translation>
    </message>
    <message>
        <source>Ask</source>
        <translation>الطلب</translation>
    </message>
    <message>
        <source>Spread</source>
        <translation>الفارق</translation>
    </message>
    <message>
        <source>High</source>
        <translation>الأعلى</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>الأدنى</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>الوقت</translation>
    </message>
    <message>
        <source>%H</source>
        <translation>%أ</translation>
    </message>
    <message>
        <source>%L</source>
        <translation>%د</translation>
    </message>
    <message>
        <source>Navigator</source>
        <translation>المستكشف</translation>
    </message>
    <message>
        <source>Accounts</source>
        <translation>الحسابات</translation>
    </message>
    <message>
        <source>Toolbox</source>
        <translation>صندوق الأدوات</translation>
    </message>
    <message>
        <source>Trade</source>
        <translation>التداول</translation>
    </message>
    <message>
        <source>symbol</source>
        <translation>الرمز</translation>
    </message>
    <message>
        <source>ticket</source>
        <translation>التذكرة</translation>
    </message>
    <message>
        <source>time</source>
        <translation>الوقت</translation>
    </message>
    <message>
        <source>type</source>
        <translation>النوع</translation>
    </message>
    <message>
        <source>volume</source>
        <translation>الحجم</translation>
    </message>
    <message>
        <source>open Price</source>
        <translation>سعر الفتح</translation>
    </message>
    <message>
        <source>S/L</source>
        <translation>وقف الخسارة</translation>
    </message>
    <message>
        <source>T/P</source>
        <translation>جني الربح</translation>
    </message>
    <message>
        <source>current price</source>
        <translation>السعر الحالي</translation>
    </message>
    <message>
        <source>swap</source>
        <translation>المبادلة</translation>
    </message>
    <message>
        <source>profit</source>
        <translation>الربح</translation>
    </message>
    <message>
        <source>Net Trade</source>
        <translation>صافي التداول</translation>
    </message>
    <message>
        <source>Positions</source>
        <translation>المراكز</translation>
    </message>
    <message>
        <source>Buy Volume</source>
        <translation>حجم الشراء</translation>
    </message>
    <message>
        <source>Buy Price</source>
        <translation>سعر الشراء</translation>
    </message>
    <message>
        <source>Sell Volume</source>
        <translation>حجم البيع</translation>
    </message>
    <message>
        <source>Sell Price</source>
        <translation>سعر البيع</translation>
    </message>
    <message>
        <source>Net Volume</source>
        <translation>صافي الحجم</translation>
    </message>
    <message>
        <source>Profit</source>
        <translation>الربح</translation>
    </message>
    <message>
        <source>History</source>
        <translation>السجل</translation>
    </message>
    <message>
        <source>Orders</source>
        <translation>الأوامر</translation>
    </message>
    <message>
        <source>Deals</source>
        <translation>الصفقات</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>اتصال</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>قطع الاتصال</translation>
    </message>
    <message>
        <source>Connect to Trade server</source>
        <translation>الاتصال بخادم التداول</translation>
    </message>
    <message>
        <source>Open Demo</source>
        <translation>فتح حساب تجريبي</translation>
    </message>
    <message>
        <source>Change Password</source>
        <translation>تغيير كلمة المرور</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>خروج</translation>
    </message>
    <message>
        <source>New Order</source>
        <translation>أمر جديد</translation>
    </message>
    <message>
        <source>F9</source>
        <translation>F9</translation>
    </message>
    <message>
        <source>About</source>
        <translation>حول</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>المؤشر</translation>
    </message>
    <message>
        <source>Crosshair</source>
        <translation>التقاطع</translation>
    </message>
    <message>
        <source>Horizontal Line</source>
        <translation>خط أفقي</translation>
    </message>
    <message>
        <source>Vertical Line</source>
        <translation>خط عمودي</translation>
    </message>
    <message>
        <source>Trendline</source>
        <translation>خط الاتجاه</translation>
    </message>
    <message>
        <source>Fibonacci Retracement</source>
        <translation>تصحيح فيبوناتشي</translation>
    </message>
    <message>
        <source>Bar Chart</source>
        <translation>مخطط الأعمدة</translation>
    </message>
    <message>
        <source>Candlesticks</source>
        <translation>الشموع اليابانية</translation>
    </message>
    <message>
        <source>Copy Trading</source>
        <translation>نسخ التداول</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>التقويم</translation>
    </message>
    <message>
        <source>M1</source>
        <translation>M1</translation>
    </message>
    <message>
        <source>M5</source>
        <translation>M5</translation>
    </message>
    <message>
        <source>M15</source>
        <translation>M15</translation>
    </message>
    <message>
        <source>M30</source>
        <translation>M30</translation>
    </message>
    <message>
        <source>H1</source>
        <translation>H1</translation>
    </message>
    <message>
        <source>H4</source>
        <translation>H4</translation>
    </message>
    <message>
        <source>D1</source>
        <translation>D1</translation>
    </message>
    <message>
        <source>W1</source>
        <translation>W1</translation>
    </message>
    <message>
        <source>MN</source>
        <translation>MN</translation>
    </message>
    <message>
        <source>Delete account</source>
        <translation>حذف الحساب</translation>
    </message>
    <message>
        <source>Delete the saved account %1 on %2 and its workspace?</source>
        <translation>هل تريد حذف الحساب المحفوظ %1 على %2 ومساحة عمله؟</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>تسجيل الدخول</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>حذف</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>خطأ</translation>
    </message>
    <message>
        <source>Failed to translate.</source>
        <translation>فشل تحميل الترجمة.</translation>
    </message>
</context>
<context>
    <name>JournalWidget</name>
    <message>
        <source>Time</source>
        <translation>الوقت</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>المصدر</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>الرسالة</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Authorization allows to get access to the trade account</source>
        <translation>يتيح التفويض الوصول إلى حساب التداول</translation>
    </message>
    <message>
        <source>Login:</source>
        <translation>رقم الحساب:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>كلمة المرور:</translation>
    </message>
    <message>
        <source>Save Password</source>
        <translation>حفظ كلمة المرور</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>الخادم:</translation>
    </message>
</context>
<context>
    <name>New_Order</name>
    <message>
        <source>Order</source>
        <translation>أمر</translation>
    </message>
    <message>
        <source>Symbol:</source>
        <translation>الرمز:</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>النوع:</translation>
    </message>
    <message>
        <source>Market Execution</source>
        <translation>تنفيذ فوري</translation>
    </message>
    <message>
        <source>Pending Order</source>
        <translation>أمر معلق</translation>
    </message>
    <message>
        <source>Volume:</source>
        <translation>الحجم:</translation>
    </message>
    <message>
        <source>Stop Loss:</source>
        <translation>وقف الخسارة:</translation>
    </message>
    <message>
        <source>Take Profit:</source>
        <translation>جني الربح:</translation>
    </message>
    <message>
        <source>Pending order</source>
        <translation>أمر معلق</translation>
    </message>
    <message>
        <source>Buy Limit</source>
        <translation>شراء محدد</translation>
    </message>
    <message>
        <source>Sell Limit</source>
        <translation>بيع محدد</translation>
    </message>
    <message>
        <source>Buy Stop</source>
        <translation>شراء إيقاف</translation>
    </message>
    <message>
        <source>Sell Stop</source>
        <translation>بيع إيقاف</translation>
    </message>
    <message>
        <source>Buy Stop Limit</source>
        <translation>شراء إيقاف محدد</translation>
    </message>
    <message>
        <source>Sell Stop Limit</source>
        <translation>بيع إيقاف محدد</translation>
    </message>
    <message>
        <source>At price:</source>
        <translation>عند السعر:</translation>
    </message>
    <message>
        <source>Stop Limit price:</source>
        <translation>سعر الإيقاف المحدد:</translation>
    </message>
    <message>
        <source>Expiration:</source>
        <translation>الصلاحية:</translation>
    </message>
    <message>
        <source>Good till cancelled</source>
        <translation>ساري حتى الإلغاء</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>اليوم</translation>
    </message>
    <message>
        <source>Specified</source>
        <translation>تاريخ محدد</translation>
    </message>
    <message>
        <source>Expiry:</source>
        <translation>الانتهاء:</translation>
    </message>
    <message>
        <source>Close by an opposite position</source>
        <translation>الإغلاق بمركز معاكس</translation>
    </message>
    <message>
        <source>Sell by Market</source>
        <translation>بيع بسعر السوق</translation>
    </message>
    <message>
        <source>Buy by Market</source>
        <translation>شراء بسعر السوق</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>إرسال</translation>
    </message>
    <message>
        <source>#%1 %2 %3 at %4</source>
        <translation>#%1 %2 %3 بسعر %4</translation>
    </message>
    <message>
        <source>Modify Order #%1</source>
        <translation>تعديل الأمر #%1</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>تعديل</translation>
    </message>
    <message>
        <source>Modify Position #%1</source>
        <translation>تعديل المركز #%1</translation>
    </message>
    <message>
        <source>Delete Order #%1</source>
        <translation>حذف الأمر #%1</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>حذف</translation>
    </message>
    <message>
        <source>Close Position #%1</source>
        <translation>إغلاق المركز #%1</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>إغلاق</translation>
    </message>
    <message>
        <source>Close By</source>
        <translation>إغلاق بمركز معاكس</translation>
    </message>
    <message>
        <source>Please wait while request sending...</source>
        <translation>يرجى الانتظار أثناء إرسال الطلب...</translation>
    </message>
</context>
<context>
    <name>OneClickTradingButtons</name>
    <message>
        <source>Form</source>
        <translation>نموذج</translation>
    </message>
    <message>
        <source>0.00</source>
        <translation>0.00</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;SELL&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;بيع&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;BUY&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;شراء&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>تحذير</translation>
    </message>
    <message>
        <source>Trade operations restricted in Read Only Mode.</source>
        <translation>عمليات التداول مقيدة في وضع القراءة فقط.</translation>
    </message>
</context>
<context>
    <name>OpenDemoDlg</name>
    <message>
        <source>Open Demo Account</source>
        <translation>فتح حساب تجريبي</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>الاسم:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>البريد الإلكتروني:</translation>
    </message>
    <message>
        <source>Phone:</source>
        <translation>الهاتف:</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>الخادم:</translation>
    </message>
    <message>
        <source>Deposit:</source>
        <translation>الإيداع:</translation>
    </message>
    <message>
        <source>Leverage:</source>
        <translation>الرافعة المالية:</translation>
    </message>
    <message>
        <source>I agree to the terms of the end-user license agreement</source>
        <translation>أوافق على شروط اتفاقية ترخيص المستخدم النهائي</translation>
    </message>
    <message>
        <source>Your demo account</source>
        <translation>حسابك التجريبي</translation>
    </message>
    <message>
        <source>Login:</source>
        <translation>رقم الحساب:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>كلمة المرور:</translation>
    </message>
    <message>
        <source>Read-only password:</source>
        <translation>كلمة مرور القراءة فقط:</translation>
    </message>
    <message>
        <source>Open Account</source>
        <translation>فتح الحساب</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>إلغاء</translation>
    </message>
    <message>
        <source>Please enter your name.</source>
        <translation>يرجى إدخال اسمك.</translation>
    </message>
    <message>
        <source>Please enter a valid e-mail address.</source>
        <translation>يرجى إدخال بريد إلكتروني صالح.</translation>
    </message>
    <message>
        <source>Please choose a server.</source>
        <translation>يرجى اختيار خادم.</translation>
    </message>
    <message>
        <source>Please enter a deposit above zero.</source>
        <translation>يرجى إدخال مبلغ إيداع أكبر من صفر.</translation>
    </message>
    <message>
        <source>Please accept the agreement.</source>
        <translation>يرجى قبول الاتفاقية.</translation>
    </message>
    <message>
        <source>Opening the account...</source>
        <translation>جارٍ فتح الحساب...</translation>
    </message>
    <message>
        <source>The account could not be opened: %1</source>
        <translation>تعذر فتح الحساب: %1</translation>
    </message>
    <message>
        <source>The account service sent a reply that could not be read.</source>
        <translation>أرسلت خدمة الحسابات ردًا تعذرت قراءته.</translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <translation>RTL</translation>
    </message>
</context>
<context>
    <name>TradeReturnCode</name>
    <message>
        <source>Requote</source>
        <translation>إعادة تسعير</translation>
    </message>
    <message>
        <source>Request rejected</source>
        <translation>تم رفض الطلب</translation>
    </message>
    <message>
        <source>Request canceled by trader</source>
        <translation>ألغى المتداول الطلب</translation>
    </message>
    <message>
        <source>Order placed</source>
        <translation>تم وضع الأمر</translation>
    </message>
    <message>
        <source>Request completed</source>
        <translation>اكتمل الطلب</translation>
    </message>
    <message>
        <source>Only part of the request was completed</source>
        <translation>اكتمل جزء من الطلب فقط</translation>
    </message>
    <message>
        <source>Request processing error</source>
        <translation>خطأ في معالجة الطلب</translation>
    </message>
    <message>
        <source>Request canceled by timeout</source>
        <translation>أُلغي الطلب بسبب انتهاء المهلة</translation>
    </message>
    <message>
        <source>Invalid request</source>
        <translation>طلب غير صالح</translation>
    </message>
    <message>
        <source>Invalid volume in the request</source>
        <translation>حجم غير صالح في الطلب</translation>
    </message>
    <message>
        <source>Invalid price in the request</source>
        <translation>سعر غير صالح في الطلب</translation>
    </message>
    <message>
        <source>Invalid stops in the request</source>
        <translation>مستويات إيقاف غير صالحة في الطلب</translation>
    </message>
    <message>
        <source>Trade is disabled</source>
        <translation>التداول معطل</translation>
    </message>
    <message>
        <source>Market is closed</source>
        <translation>السوق مغلق</translation>
    </message>
    <message>
        <source>There is not enough money to complete the request</source>
        <translation>لا يوجد رصيد كافٍ لإتمام الطلب</translation>
    </message>
    <message>
        <source>Prices changed</source>
        <translation>تغيرت الأسعار</translation>
    </message>
    <message>
        <source>There are no quotes to process the request</source>
        <translation>لا توجد أسعار لمعالجة الطلب</translation>
    </message>
    <message>
        <source>Invalid order expiration date in the request</source>
        <translation>تاريخ انتهاء الأمر غير صالح في الطلب</translation>
    </message>
    <message>
        <source>Order state changed</source>
        <translation>تغيرت حالة الأمر</translation>
    </message>
    <message>
        <source>Too frequent requests</source>
        <translation>طلبات متكررة جدًا</translation>
    </message>
    <message>
        <source>No changes in request</source>
        <translation>لا توجد تغييرات في الطلب</translation>
    </message>
    <message>
        <source>Autotrading disabled by server</source>
        <translation>التداول الآلي معطل من الخادم</translation>
    </message>
    <message>
        <source>Autotrading disabled by client terminal</source>
        <translation>التداول الآلي معطل من المنصة</translation>
    </message>
    <message>
        <source>Request locked for processing</source>
        <translation>الطلب مقفل للمعالجة</translation>
    </message>
    <message>
        <source>Order or position frozen</source>
        <translation>الأمر أو المركز مجمد</translation>
    </message>
    <message>
        <source>Invalid order filling type</source>
        <translation>نوع تنفيذ الأمر غير صالح</translation>
    </message>
    <message>
        <source>No connection with the trade server</source>
        <translation>لا يوجد اتصال بخادم التداول</translation>
    </message>
    <message>
        <source>Operation is allowed only for live accounts</source>
        <translation>العملية مسموحة للحسابات الحقيقية فقط</translation>
    </message>
    <message>
        <source>The number of pending orders has reached the limit</source>
        <translation>بلغ عدد الأوامر المعلقة الحد الأقصى</translation>
    </message>
    <message>
        <source>The volume of orders and positions for the symbol has reached the limit</source>
        <translation>بلغ حجم الأوامر والمراكز لهذا الرمز الحد الأقصى</translation>
    </message>
    <message>
        <source>Incorrect or prohibited order type</source>
        <translation>نوع أمر غير صحيح أو محظور</translation>
    </message>
    <message>
        <source>Position has already been closed</source>
        <translation>تم إغلاق المركز بالفعل</translation>
    </message>
    <message>
        <source>Close volume exceeds the current position volume</source>
        <translation>حجم الإغلاق يتجاوز حجم المركز الحالي</translation>
    </message>
    <message>
        <source>A close order already exists for the position</source>
        <translation>يوجد أمر إغلاق لهذا المركز بالفعل</translation>
    </message>
    <message>
        <source>The number of open positions has reached the limit</source>
        <translation>بلغ عدد المراكز المفتوحة الحد الأقصى</translation>
    </message>
    <message>
        <source>The pending order activation request was rejected</source>
        <translation>تم رفض طلب تفعيل الأمر المعلق</translation>
    </message>
    <message>
        <source>Only long positions are allowed</source>
        <translation>يُسمح بمراكز الشراء فقط</translation>
    </message>
    <message>
        <source>Only short positions are allowed</source>
        <translation>يُسمح بمراكز البيع فقط</translation>
    </message>
    <message>
        <source>Only position closing is allowed</source>
        <translation>يُسمح بإغلاق المراكز فقط</translation>
    </message>
    <message>
        <source>Position closing is allowed only by FIFO rule</source>
        <translation>يُسمح بإغلاق المراكز وفق قاعدة FIFO فقط</translation>
    </message>
    <message>
        <source>Unknown return code %1</source>
        <translation>رمز إرجاع غير معروف %1</translation>
    </message>
</context>
</TS>
