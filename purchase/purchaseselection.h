#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class GroupPurchase;
class RechargeApi;

// What the membership page has chosen: the purchase mode and its plan, the options of the mode (IP type,
// region, team size, game), the agreement, and what follows from them: the plans offered, the chosen
// plan, its price in fen and the pay bar's caption. The prepared plans and options of each mode come from
// the state store (state/purchasepreparation); "立即支付" checks the choice and starts the payment.
class PurchaseSelection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString mode READ mode NOTIFY modeChanged)
    Q_PROPERTY(QString groupMethod READ groupMethod WRITE setGroupMethod NOTIFY groupMethodChanged)
    Q_PROPERTY(bool leaderMethod READ leaderMethod NOTIFY groupMethodChanged)
    Q_PROPERTY(int planIndex READ planIndex NOTIFY planIndexChanged)
    Q_PROPERTY(QString ipType READ ipType NOTIFY choiceChanged)
    Q_PROPERTY(QString region READ region NOTIFY choiceChanged)
    Q_PROPERTY(int teamSize READ teamSize NOTIFY choiceChanged)
    Q_PROPERTY(QString gameId READ gameId NOTIFY choiceChanged)
    Q_PROPERTY(bool agreed READ agreed WRITE setAgreed NOTIFY agreedChanged)
    // The last failure of the client that nothing else reported; the empty plan list shows it.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    // Prepared data by mode ({shared: {products, ipOptions, ...}, ...}) and the catalogue's games.
    Q_PROPERTY(QVariantMap prepared READ prepared WRITE setPrepared NOTIFY preparedChanged)
    Q_PROPERTY(QVariantList catalogueGames READ catalogueGames WRITE setCatalogueGames NOTIFY optionsChanged)
    // The mode's plans as prepared, and its options; the games fall back to the catalogue's.
    Q_PROPERTY(QVariantList products READ products NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList ipOptions READ ipOptions NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList regionOptions READ regionOptions NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList teamOptions READ teamOptions NOTIFY optionsChanged)
    Q_PROPERTY(QVariantList gameOptions READ gameOptions NOTIFY optionsChanged)
    // The plans offered for the choice (a group's by team size and IP type) and the chosen one.
    Q_PROPERTY(QVariantList currentProducts READ currentProducts NOTIFY currentProductsChanged)
    Q_PROPERTY(QVariantMap currentProduct READ currentProduct NOTIFY currentProductChanged)
    // The regions a private plan of the chosen IP type covers.
    Q_PROPERTY(QVariantList privateRegionOptions READ privateRegionOptions NOTIFY privateRegionOptionsChanged)
    // The pay bar: the choice and its total ("—" without a price).
    Q_PROPERTY(QString caption READ caption NOTIFY totalChanged)
    Q_PROPERTY(QString totalText READ totalText NOTIFY totalChanged)
    Q_PROPERTY(double priceFen READ priceFenNumber NOTIFY totalChanged)

public:
    PurchaseSelection(RechargeApi *api, GroupPurchase *groups);

    QString mode() const { return m_mode; }
    QString groupMethod() const { return m_groupMethod; }
    void setGroupMethod(const QString &method);
    bool leaderMethod() const;
    int planIndex() const { return m_planIndex; }
    QString ipType() const { return m_ipType; }
    QString region() const { return m_region; }
    int teamSize() const { return m_teamSize; }
    QString gameId() const { return m_gameId; }
    bool agreed() const { return m_agreed; }
    void setAgreed(bool agreed);
    QString errorMessage() const { return m_errorMessage; }
    QVariantMap prepared() const { return m_prepared; }
    void setPrepared(const QVariantMap &prepared);
    QVariantList catalogueGames() const { return m_catalogueGames; }
    void setCatalogueGames(const QVariantList &games);
    QVariantList products() const { return m_products; }
    QVariantList ipOptions() const { return m_ipOptions; }
    QVariantList regionOptions() const { return m_regionOptions; }
    QVariantList teamOptions() const { return m_teamOptions; }
    QVariantList gameOptions() const;
    QVariantList currentProducts() const { return m_currentProducts; }
    QVariantMap currentProduct() const { return m_currentProduct; }
    QVariantList privateRegionOptions() const { return m_privateRegionOptions; }
    QString caption() const { return m_caption; }
    QString totalText() const { return m_totalText; }
    qint64 priceFen() const { return m_priceFen; }
    double priceFenNumber() const { return static_cast<double>(m_priceFen); }

    Q_INVOKABLE void selectMode(const QString &mode);
    Q_INVOKABLE void selectPlan(int index);
    // Options arrive as the chips hold them: texts or numbers.
    Q_INVOKABLE void selectPrivateIpType(const QVariant &value);
    Q_INVOKABLE void selectPrivateRegion(const QVariant &value);
    Q_INVOKABLE void selectGroupIpType(const QVariant &value);
    Q_INVOKABLE void selectTeamSize(const QVariant &value);
    Q_INVOKABLE void selectGame(const QVariant &value);
    // The entry changed: its plans are new, so the first is chosen.
    Q_INVOKABLE void resetPlan();
    // "立即支付": checks the choice and the agreement and creates the order (or the leader seat's).
    Q_INVOKABLE void pay();
    // A page that opens starts from the first mode with nothing chosen.
    Q_INVOKABLE void reset();

    // Rules without state, for the tests.
    // The group plans for a team size and an IP type; a filter applies only when some plan carries
    // the field it filters on, so a catalogue without sizes or node types shows every plan.
    static QVariantList groupProducts(const QVariantList &products, int teamSize, const QString &ipType);
    // The regions the private plans of an IP type cover, once each in plan order; else `fallback`.
    static QVariantList privateRegions(const QVariantList &products, const QString &ipType,
                                       const QVariantList &fallback);
    // The private plan of an IP type and region; -1 for none.
    static int privateProductIndex(const QVariantList &products, const QString &ipType,
                                   const QString &region);
    // The catalogue's games as game choices {value, text, packageName, gameId}.
    static QVariantList catalogueGameOptions(const QVariantList &games);
    // A plan's price in fen for an IP type (its own price when the type has none), and as shown.
    static qint64 productPrice(const QVariantMap &plan, const QString &ipType);
    static QString productPriceText(const QVariantMap &plan, const QString &ipType);
    static QString productName(const QVariantMap &plan, const QString &mode);

signals:
    void modeChanged();
    void groupMethodChanged();
    void planIndexChanged();
    void choiceChanged();
    void agreedChanged();
    void errorMessageChanged();
    void preparedChanged();
    void optionsChanged();
    void currentProductsChanged();
    void currentProductChanged();
    void privateRegionOptionsChanged();
    void totalChanged();
    void notice(const QString &message, bool warning);
    void signInRequested();
    void trace(const QString &message);

private:
    void applyPrepared();
    void syncDefaults();
    void syncPrivateRegion();
    void selectPrivateProduct();
    void setPlanIndex(int index);
    void setChoice(QString &field, const QString &value);
    void update();
    void onFailure(const QString &operation, const QString &message);

    RechargeApi *m_api;
    GroupPurchase *m_groups;
    QString m_mode;
    QString m_groupMethod;
    int m_planIndex = 0;
    QString m_ipType;
    QString m_region;
    int m_teamSize = 0;
    QString m_gameId;
    bool m_agreed = false;
    QString m_errorMessage;
    QVariantMap m_prepared;
    QVariantList m_catalogueGames;
    QVariantList m_products;
    QVariantList m_ipOptions;
    QVariantList m_regionOptions;
    QVariantList m_teamOptions;
    QVariantList m_gameOptions;
    QVariantList m_currentProducts;
    QVariantMap m_currentProduct;
    QVariantList m_privateRegionOptions;
    QString m_caption;
    QString m_totalText;
    qint64 m_priceFen = 0;
    bool m_syncPending = false;
};
