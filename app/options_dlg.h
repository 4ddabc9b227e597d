#pragma once
// The "Tool Options" dialog: two pages of program options, edited in place
// and stored into the adapter on OK. A page that was never shown keeps its
// options as they were.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>

#include "config/adapter.h"

namespace kelvane {

// An options page that fills itself from the adapter when first shown.
class COptionsPage : public QWidget {
  Q_OBJECT

 public:
  COptionsPage(CAdapter& adapter, QWidget* parent) : QWidget(parent), adapter_(adapter) {}
  bool Created() const { return created_; }
  virtual void Store() = 0;
  virtual void Defaults() = 0;

 protected:
  virtual void Load() = 0;
  void showEvent(QShowEvent* event) override;
  CAdapter& adapter_;

 private:
  bool created_ = false;
};

class COptBasic : public COptionsPage {
  Q_OBJECT

 public:
  COptBasic(CAdapter& adapter, QWidget* parent = nullptr);
  void Store() override;
  void Defaults() override;

  QCheckBox* tooltip;
  QCheckBox* terminal;
  QCheckBox* autoLoad;
  QCheckBox* userAutoConnect;
  QCheckBox* searchPorts;
  QComboBox* numberOfPorts;
  QCheckBox* autoDisconnect;
  QCheckBox* dtrEnable;
  QCheckBox* rtsEnable;
  QComboBox* flowControl;

 protected:
  void Load() override;
};

class COptAdvanced : public COptionsPage {
  Q_OBJECT

 public:
  COptAdvanced(CAdapter& adapter, QWidget* parent = nullptr);
  void Store() override;
  void Defaults() override;

  QCheckBox* debug;
  QCheckBox* hex;
  QLineEdit* delay;
  QSlider* responseTimeout;

 protected:
  void Load() override;
};

class COptionsDlg : public QDialog {
  Q_OBJECT

 public:
  COptionsDlg(CAdapter& adapter, QWidget* parent = nullptr);

  QTabWidget* Sheet() const { return sheet_; }
  COptBasic* BasicPage() const { return basic_; }
  COptAdvanced* AdvancedPage() const { return advanced_; }

 public slots:
  void accept() override;
  void OnDefaults();

 private:
  CAdapter& adapter_;
  QTabWidget* sheet_;
  COptBasic* basic_;
  COptAdvanced* advanced_;
};

}  // namespace kelvane
