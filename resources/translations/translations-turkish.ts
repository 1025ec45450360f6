<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="tr_TR">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About</source>
        <translation>Hakkında</translation>
    </message>
    <message>
        <source>Version 1.1.34</source>
        <translation>Sürüm 1.1.34</translation>
    </message>
    <message>
        <source>Last Updated: 08 January 2025</source>
        <translation>Son Güncelleme: 08 Ocak 2025</translation>
    </message>
    <message>
        <source>End-user license agreement</source>
        <translation>Son kullanıcı lisans sözleşmesi</translation>
    </message>
</context>
<context>
    <name>ChangePasswordDlg</name>
    <message>
        <source>Change Password</source>
        <translation>Şifre Değiştir</translation>
    </message>
    <message>
        <source>Main Password</source>
        <translation>Ana Şifre</translation>
    </message>
    <message>
        <source>Read-Only Password</source>
        <translation>Salt Okunur Şifre</translation>
    </message>
    <message>
        <source>Main Password:</source>
        <translation>Ana Şifre:</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>Yeni Şifre:</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>Şifreyi Onayla:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Tamam</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Main password is not correct!</source>
        <translation>Ana şifre doğru değil!</translation>
    </message>
    <message>
        <source>New password does not match!</source>
        <translation>Yeni şifreler eşleşmiyor!</translation>
    </message>
    <message>
        <source>New password can not be empty!</source>
        <translation>Yeni şifre boş olamaz!</translation>
    </message>
    <message>
        <source>Error occured!</source>
        <translation>Bir hata oluştu!</translation>
    </message>
    <message>
        <source>Password changed successfully!</source>
        <translation>Şifre başarıyla değiştirildi!</translation>
    </message>
</context>
<context>
    <name>ChartObjectListDialog</name>
    <message>
        <source>Dialog</source>
        <translation>İletişim Kutusu</translation>
    </message>
    <message>
        <source>Object List</source>
        <translation>Nesne Listesi</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Sil</translation>
    </message>
    <message>
        <source>Delete all</source>
        <translation>Tümünü sil</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Kapat</translation>
    </message>
</context>
<context>
    <name>ClientLanguage</name>
    <message>
        <source>Turkish</source>
        <translation>Türkçe</translation>
    </message>
    <message>
        <source>English</source>
        <translation>İngilizce</translation>
    </message>
    <message>
        <source>Arabic</source>
        <translation>Arapça</translation>
    </message>
    <message>
        <source>Languages</source>
        <translation>Diller</translation>
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
        <translation>Dosya</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Görünüm</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Ekle</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>Grafikler</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Araçlar</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Yardım</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Bağlantı</translation>
    </message>
    <message>
        <source>Drawing</source>
        <translation>Çizim</translation>
    </message>
    <message>
        <source>Timeframes</source>
        <translation>Zaman Dilimleri</translation>
    </message>
    <message>
        <source>Market Watch</source>
        <translation>Piyasa Gözlemi</translation>
    </message>
    <message>
        <source>Search symbol</source>
        <translation>Sembol ara</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>Sembol</translation>
    </message>
    <message>
        <source>Bid</source>
        <translation>Alış</translation>
    </message>
    <message>
        <source>Ask</source>
        <translation>Satış</translation>
    </message>
    <message>
        <source>Spread</source>
        <translation>Spread</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Yüksek</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Düşük</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zaman</translation>
    </message>
    <message>
        <source>%H</source>
        <translation>%Y</translation>
    </message>
    <message>
        <source>%L</source>
        <translation>%D</translation>
    </message>
    <message>
        <source>Navigator</source>
        <translation>Gezgin</translation>
    </message>
    <message>
        <source>Accounts</source>
        <translation>Hesaplar</translation>
    </message>
    <message>
        <source>Toolbox</source>
        <translation>Araç Kutusu</translation>
    </message>
    <message>
        <source>Trade</source>
        <translation>İşlem</translation>
    </message>
    <message>
        <source>symbol</source>
        <translation>sembol</translation>
    </message>
    <message>
        <source>ticket</source>
        <translation>bilet</translation>
    </message>
    <message>
        <source>time</source>
        <translation>zaman</translation>
    </message>
    <message>
        <source>type</source>
        <translation>tür</translation>
    </message>
    <message>
        <source>volume</source>
        <translation>hacim</translation>
    </message>
    <message>
        <source>open Price</source>
        <translation>açılış fiyatı</translation>
    </message>
    <message>
        <source>S/L</source>
        <translation>Z/D</translation>
    </message>
    <message>
        <source>T/P</source>
        <translation>K/A</translation>
    </message>
    <message>
        <source>current price</source>
        <translation>güncel fiyat</translation>
    </message>
    <message>
        <source>swap</source>
        <translation>swap</translation>
    </message>
    <message>
        <source>profit</source>
        <translation>kâr</translation>
    </message>
    <message>
        <source>Net Trade</source>
        <translation>Net İşlem</translation>
    </message>
    <message>
        <source>Positions</source>
        <translation>Pozisyonlar</translation>
    </message>
    <message>
        <source>Buy Volume</source>
        <translation>Alış Hacmi</translation>
    </message>
    <message>
        <source>Buy Price</source>
        <translation>Alış Fiyatı</translation>
    </message>
    <message>
        <source>Sell Volume</source>
        <translation>Satış Hacmi</translation>
    </message>
    <message>
        <source>Sell Price</source>
        <translation>Satış Fiyatı</translation>
    </message>
    <message>
        <source>Net Volume</source>
        <translation>Net Hacim</translation>
    </message>
    <message>
        <source>Profit</source>
        <translation>Kâr</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Geçmiş</translation>
    </message>
    <message>
        <source>Orders</source>
        <translation>Emirler</translation>
    </message>
    <message>
        <source>Deals</source>
        <translation>Anlaşmalar</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Bağlan</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Bağlantıyı Kes</translation>
    </message>
    <message>
        <source>Connect to Trade server</source>
        <translation>İşlem sunucusuna bağlan</translation>
    </message>
    <message>
        <source>Open Demo</source>
        <translation>Demo Hesap Aç</translation>
    </message>
    <message>
        <source>Change Password</source>
        <translation>Şifre Değiştir</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Çıkış</translation>
    </message>
    <message>
        <source>New Order</source>
        <translation>Yeni Emir</translation>
    </message>
    <message>
        <source>F9</source>
        <translation>F9</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Hakkında</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>İmleç</translation>
    </message>
    <message>
        <source>Crosshair</source>
        <translation>Artı İmleç</translation>
    </message>
    <message>
        <source>Horizontal Line</source>
        <translation>Yatay Çizgi</translation>
    </message>
    <message>
        <source>Vertical Line</source>
        <translation>Dikey Çizgi</translation>
    </message>
    <message>
        <source>Trendline</source>
        <translation>Trend Çizgisi</translation>
    </message>
    <message>
        <source>Fibonacci Retracement</source>
        <translation>Fibonacci Düzeltmesi</translation>
    </message>
    <message>
        <source>Bar Chart</source>
        <translation>Çubuk Grafik</translation>
    </message>
    <message>
        <source>Candlesticks</source>
        <translation>Mum Grafik</translation>
    </message>
    <message>
        <source>Copy Trading</source>
        <translation>Kopya İşlem</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>Takvim</translation>
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
        <translation>Hesabı sil</translation>
    </message>
    <message>
        <source>Delete the saved account %1 on %2 and its workspace?</source>
        <translation>%2 üzerindeki kayıtlı %1 hesabı ve çalışma alanı silinsin mi?</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Giriş</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Sil</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Hata</translation>
    </message>
    <message>
        <source>Failed to translate.</source>
        <translation>Çeviri yüklenemedi.</translation>
    </message>
</context>
<context>
    <name>JournalWidget</name>
    <message>
        <source>Time</source>
        <translation>Zaman</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Kaynak</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Mesaj</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Authorization allows to get access to the trade account</source>
        <translation>Yetkilendirme, işlem hesabına erişim sağlar</translation>
    </message>
    <message>
        <source>Login:</source>
        <translation>Hesap No:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Şifre:</translation>
    </message>
    <message>
        <source>Save Password</source>
        <translation>Şifreyi Kaydet</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Sunucu:</translation>
    </message>
</context>
<context>
    <name>New_Order</name>
    <message>
        <source>Order</source>
        <translation>Emir</translation>
    </message>
    <message>
        <source>Symbol:</source>
        <translation>Sembol:</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Tür:</translation>
    </message>
    <message>
        <source>Market Execution</source>
        <translation>Piyasa Emri</translation>
    </message>
    <message>
        <source>Pending Order</source>
        <translation>Bekleyen Emir</translation>
    </message>
    <message>
        <source>Volume:</source>
        <translation>Hacim:</translation>
    </message>
    <message>
        <source>Stop Loss:</source>
        <translation>Zarar Durdur:</translation>
    </message>
    <message>
        <source>Take Profit:</source>
        <translation>Kâr Al:</translation>
    </message>
    <message>
        <source>Pending order</source>
        <translation>Bekleyen emir</translation>
    </message>
    <message>
        <source>Buy Limit</source>
        <translation>Alış Limit</translation>
    </message>
    <message>
        <source>Sell Limit</source>
        <translation>Satış Limit</translation>
    </message>
    <message>
        <source>Buy Stop</source>
        <translation>Alış Stop</translation>
    </message>
    <message>
        <source>Sell Stop</source>
        <translation>Satış Stop</translation>
    </message>
    <message>
        <source>Buy Stop Limit</source>
        <translation>Alış Stop Limit</translation>
    </message>
    <message>
        <source>Sell Stop Limit</source>
        <translation>Satış Stop Limit</translation>
    </message>
    <message>
        <source>At price:</source>
        <translation>Fiyat:</translation>
    </message>
    <message>
        <source>Stop Limit price:</source>
        <translation>Stop Limit fiyatı:</translation>
    </message>
    <message>
        <source>Expiration:</source>
        <translation>Geçerlilik:</translation>
    </message>
    <message>
        <source>Good till cancelled</source>
        <translation>İptal edilene kadar geçerli</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Bugün</translation>
    </message>
    <message>
        <source>Specified</source>
        <translation>Belirtilen tarih</translation>
    </message>
    <message>
        <source>Expiry:</source>
        <translation>Bitiş:</translation>
    </message>
    <message>
        <source>Close by an opposite position</source>
        <translation>Ters pozisyonla kapat</translation>
    </message>
    <message>
        <source>Sell by Market</source>
        <translation>Piyasadan Sat</translation>
    </message>
    <message>
        <source>Buy by Market</source>
        <translation>Piyasadan Al</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>Gönder</translation>
    </message>
    <message>
        <source>#%1 %2 %3 at %4</source>
        <translation>#%1 %2 %3, fiyat %4</translation>
    </message>
    <message>
        <source>Modify Order #%1</source>
        <translation>Emri Değiştir #%1</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>Değiştir</translation>
    </message>
    <message>
        <source>Modify Position #%1</source>
        <translation>Pozisyonu Değiştir #%1</translation>
    </message>
    <message>
        <source>Delete Order #%1</source>
        <translation>Emri Sil #%1</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Sil</translation>
    </message>
    <message>
        <source>Close Position #%1</source>
        <translation>Pozisyonu Kapat #%1</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Kapat</translation>
    </message>
    <message>
        <source>Close By</source>
        <translation>Karşı Pozisyonla Kapat</translation>
    </message>
    <message>
        <source>Please wait while request sending...</source>
        <translation>İstek gönderilirken lütfen bekleyin...</translation>
    </message>
</context>
<context>
    <name>OneClickTradingButtons</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
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
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;SAT&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;BUY&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;AL&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align="center"&gt;&lt;br/&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Uyarı</translation>
    </message>
    <message>
        <source>Trade operations restricted in Read Only Mode.</source>
        <translation>Salt okunur modda işlem yapılamaz.</translation>
    </message>
</context>
<context>
    <name>OpenDemoDlg</name>
    <message>
        <source>Open Demo Account</source>
        <translation>Demo Hesap Aç</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Ad Soyad:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>E-posta:</translation>
    </message>
    <message>
        <source>Phone:</source>
        <translation>Telefon:</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Sunucu:</translation>
    </message>
    <message>
        <source>Deposit:</source>
        <translation>Yatırım:</translation>
    </message>
    <message>
        <source>Leverage:</source>
        <translation>Kaldıraç:</translation>
    </message>
    <message>
        <source>I agree to the terms of the end-user license agreement</source>
        <translation>Son kullanıcı lisans sözleşmesinin koşullarını kabul ediyorum</translation>
    </message>
    <message>
        <source>Your demo account</source>
        <translation>Demo hesabınız</translation>
    </message>
    <message>
        <source>Login:</source>
        <translation>Hesap No:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Şifre:</translation>
    </message>
    <message>
        <source>Read-only password:</source>
        <translation>Salt okunur şifre:</translation>
    </message>
    <message>
        <source>Open Account</source>
        <translation>Hesap Aç</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Please enter your name.</source>
        <translation>Lütfen adınızı girin.</translation>
    </message>
    <message>
        <source>Please enter a valid e-mail address.</source>
        <translation>Lütfen geçerli bir e-posta adresi girin.</translation>
    </message>
    <message>
        <source>Please choose a server.</source>
        <translation>Lütfen bir sunucu seçin.</translation>
    </message>
    <message>
        <source>Please enter a deposit above zero.</source>
        <translation>Lütfen sıfırdan büyük bir yatırım tutarı girin.</translation>
    </message>
    <message>
        <source>Please accept the agreement.</source>
        <translation>Lütfen sözleşmeyi kabul edin.</translation>
    </message>
    <message>
        <source>Opening the account...</source>
        <translation>Hesap açılıyor...</translation>
    </message>
    <message>
        <source>The account could not be opened: %1</source>
        <translation>Hesap açılamadı: %1</translation>
    </message>
    <message>
        <source>The account service sent a reply that could not be read.</source>
        <translation>Hesap hizmetinden okunamayan bir yanıt geldi.</translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <translation>LTR</translation>
    </message>
</context>
<context>
    <name>TradeReturnCode</name>
    <message>
        <source>Requote</source>
        <translation>Yeniden fiyat</translation>
    </message>
    <message>
        <source>Request rejected</source>
        <translation>İstek reddedildi</translation>
    </message>
    <message>
        <source>Request canceled by trader</source>
        <translation>İstek yatırımcı tarafından iptal edildi</translation>
    </message>
    <message>
        <source>Order placed</source>
        <translation>Emir verildi</translation>
    </message>
    <message>
        <source>Request completed</source>
        <translation>İstek tamamlandı</translation>
    </message>
    <message>
        <source>Only part of the request was completed</source>
        <translation>İsteğin yalnızca bir kısmı tamamlandı</translation>
    </message>
    <message>
        <source>Request processing error</source>
        <translation>İstek işlenirken hata oluştu</translation>
    </message>
    <message>
        <source>Request canceled by timeout</source>
        <translation>İstek zaman aşımıyla iptal edildi</translation>
    </message>
    <message>
        <source>Invalid request</source>
        <translation>Geçersiz istek</translation>
    </message>
    <message>
        <source>Invalid volume in the request</source>
        <translation>İstekte geçersiz hacim</translation>
    </message>
    <message>
        <source>Invalid price in the request</source>
        <translation>İstekte geçersiz fiyat</translation>
    </message>
    <message>
        <source>Invalid stops in the request</source>
        <translation>İstekte geçersiz stop seviyeleri</translation>
    </message>
    <message>
        <source>Trade is disabled</source>
        <translation>İşlem devre dışı</translation>
    </message>
    <message>
        <source>Market is closed</source>
        <translation>Piyasa kapalı</translation>
    </message>
    <message>
        <source>There is not enough money to complete the request</source>
        <translation>İsteği tamamlamak için yeterli bakiye yok</translation>
    </message>
    <message>
        <source>Prices changed</source>
        <translation>Fiyatlar değişti</translation>
    </message>
    <message>
        <source>There are no quotes to process the request</source>
        <translation>İsteği işlemek için fiyat yok</translation>
    </message>
    <message>
        <source>Invalid order expiration date in the request</source>
        <translation>İstekte geçersiz emir bitiş tarihi</translation>
    </message>
    <message>
        <source>Order state changed</source>
        <translation>Emir durumu değişti</translation>
    </message>
    <message>
        <source>Too frequent requests</source>
        <translation>Çok sık istek</translation>
    </message>
    <message>
        <source>No changes in request</source>
        <translation>İstekte değişiklik yok</translation>
    </message>
    <message>
        <source>Autotrading disabled by server</source>
        <translation>Otomatik işlem sunucu tarafından kapatıldı</translation>
    </message>
    <message>
        <source>Autotrading disabled by client terminal</source>
        <translation>Otomatik işlem terminal tarafından kapatıldı</translation>
    </message>
    <message>
        <source>Request locked for processing</source>
        <translation>İstek işlenmek üzere kilitlendi</translation>
    </message>
    <message>
        <source>Order or position frozen</source>
        <translation>Emir veya pozisyon donduruldu</translation>
    </message>
    <message>
        <source>Invalid order filling type</source>
        <translation>Geçersiz emir gerçekleştirme türü</translation>
    </message>
    <message>
        <source>No connection with the trade server</source>
        <translation>İşlem sunucusuyla bağlantı yok</translation>
    </message>
    <message>
        <source>Operation is allowed only for live accounts</source>
        <translation>İşleme yalnızca gerçek hesaplarda izin verilir</translation>
    </message>
    <message>
        <source>The number of pending orders has reached the limit</source>
        <translation>Bekleyen emir sayısı sınıra ulaştı</translation>
    </message>
    <message>
        <source>The volume of orders and positions for the symbol has reached the limit</source>
        <translation>Sembol için emir ve pozisyon hacmi sınıra ulaştı</translation>
    </message>
    <message>
        <source>Incorrect or prohibited order type</source>
        <translation>Hatalı veya yasak emir türü</translation>
    </message>
    <message>
        <source>Position has already been closed</source>
        <translation>Pozisyon zaten kapatılmış</translation>
    </message>
    <message>
        <source>Close volume exceeds the current position volume</source>
        <translation>Kapatma hacmi pozisyon hacmini aşıyor</translation>
    </message>
    <message>
        <source>A close order already exists for the position</source>
        <translation>Pozisyon için zaten bir kapatma emri var</translation>
    </message>
    <message>
        <source>The number of open positions has reached the limit</source>
        <translation>Açık pozisyon sayısı sınıra ulaştı</translation>
    </message>
    <message>
        <source>The pending order activation request was rejected</source>
        <translation>Bekleyen emrin etkinleştirme isteği reddedildi</translation>
    </message>
    <message>
        <source>Only long positions are allowed</source>
        <translation>Yalnızca alış pozisyonlarına izin verilir</translation>
    </message>
    <message>
        <source>Only short positions are allowed</source>
        <translation>Yalnızca satış pozisyonlarına izin verilir</translation>
    </message>
    <message>
        <source>Only position closing is allowed</source>
        <translation>Yalnızca pozisyon kapatmaya izin verilir</translation>
    </message>
    <message>
        <source>Position closing is allowed only by FIFO rule</source>
        <translation>Pozisyonlar yalnızca FIFO kuralına göre kapatılabilir</translation>
    </message>
    <message>
        <source>Unknown return code %1</source>
        <translation>Bilinmeyen dönüş kodu %1</translation>
    </message>
</context>
</TS>
